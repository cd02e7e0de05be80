#include "winshell/Win32VesselWindow.h"

#include "ais/AisDecoder.h"
#include "core/TextFields.h"
#include "winshell/Win32Text.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <sstream>

namespace kelvane {

using win::Narrow;
using win::Wide;

namespace {

constexpr wchar_t ClassName[] = L"KelvaneVessels";
constexpr wchar_t PlotClassName[] = L"KelvaneRangePlot";
constexpr UINT_PTR AgeTimerId = 1;
enum : int { FilterId = 100, LatId, LonId, ClearId, ListId, DetailsId };

}  // namespace

Win32VesselWindow::Win32VesselWindow(HINSTANCE instance, HFONT font, HICON icon) : Instance(instance), Font(font)
{
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = Procedure;
    type.hInstance = instance;
    type.hIcon = icon;
    type.hIconSm = icon;
    type.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    type.lpszClassName = ClassName;
    RegisterClassExW(&type);
    WNDCLASSEXW plot = type;
    plot.lpfnWndProc = PlotProcedure;
    plot.hIcon = plot.hIconSm = nullptr;
    plot.hbrBackground = nullptr;
    plot.lpszClassName = PlotClassName;
    RegisterClassExW(&plot);

    Window = CreateWindowExW(0, ClassName, L"Kelvane - Vessels", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                             CW_USEDEFAULT, CW_USEDEFAULT, 1100, 620, nullptr, nullptr, instance, this);
    auto child = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
        HWND h = CreateWindowExW(cls == std::wstring(L"EDIT") ? WS_EX_CLIENTEDGE : 0, cls, text,
                                 WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, Window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
        return h;
    };
    Captions.push_back(child(L"STATIC", L"Filter:", SS_LEFT, 0));
    txtFilter = child(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, FilterId);
    SendMessageW(txtFilter, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"name, MMSI, call sign, type, ..."));
    Captions.push_back(child(L"STATIC", L"Station:", SS_LEFT, 0));
    txtStationLat = child(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, LatId);
    SendMessageW(txtStationLat, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"latitude"));
    txtStationLon = child(L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, LonId);
    SendMessageW(txtStationLon, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"longitude"));
    lblStation = child(L"STATIC", L"", SS_LEFT, 0);
    cmdClear = child(L"BUTTON", L"Clear", BS_PUSHBUTTON | WS_TABSTOP, ClearId);
    List = child(WC_LISTVIEWW, L"", LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP,
                 ListId);
    ListView_SetExtendedListViewStyle(List, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    for (int c = 0; c < static_cast<int>(VesselColumn::Count); ++c) {
        const auto column = static_cast<VesselColumn>(c);
        std::wstring title = Wide(ColumnTitle(column));
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        col.fmt = LeftAligned(column) || c == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        col.cx = column == VesselColumn::Name ? 130 : 78;
        col.pszText = title.data();
        ListView_InsertColumn(List, c, &col);
    }
    Plot = CreateWindowExW(WS_EX_CLIENTEDGE, PlotClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, Window, nullptr,
                           instance, this);
    txtDetails = child(L"EDIT", L"", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, DetailsId);
    PlotTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Plot, nullptr, instance,
                              nullptr);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = Plot;
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(PlotTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    Arrange();
    // The ages move on every second, and the plot's fading with them.
    SetTimer(Window, AgeTimerId, 1000, nullptr);
}

Win32VesselWindow::~Win32VesselWindow()
{
    if (Window != nullptr)
        DestroyWindow(Window);
}

double Win32VesselWindow::Now() const
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void Win32VesselWindow::ShowVessels()
{
    ShowWindow(Window, IsIconic(Window) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(Window);
    Rebuild();
}

void Win32VesselWindow::Heard(std::span<const int32_t> messageBits, std::string_view sentences,
                              const MessageOrigin& origin)
{
    const std::optional<AisRecord> message = DecodeAisMessage(messageBits);
    if (!message)
        return;
    Vessels.Heard(*message, sentences, static_cast<char>(origin.Channel), origin.LevelDb, origin.SnrDb, Now());
    // Sorted again at the next second at most: a busy channel brings tens of
    // messages a second.
    Dirty = true;
}

void Win32VesselWindow::cmdClear_Click()
{
    Vessels.Clear();
    SetWindowTextW(txtDetails, L"");
    Rebuild();
}

void Win32VesselWindow::Rebuild()
{
    Dirty = false;
    const double now = Now();
    const auto& rows = Vessels.Rows();
    size_t selected = static_cast<size_t>(-1);
    const int at = ListView_GetNextItem(List, -1, LVNI_SELECTED);
    if (at >= 0 && static_cast<size_t>(at) < Order.size())
        selected = Order[static_cast<size_t>(at)];
    Order.clear();
    for (size_t i = 0; i < rows.size(); ++i)
        if (RowMatches(rows[i], Filter, Station, now))
            Order.push_back(i);
    std::vector<SortKey> keys(rows.size());
    for (size_t i : Order)
        keys[i] = CellSortKey(rows[i], SortColumn, Station, now);
    std::stable_sort(Order.begin(), Order.end(), [&](size_t a, size_t b) {
        return Ascending ? keys[a] < keys[b] : keys[b] < keys[a];
    });
    ListView_SetItemCountEx(List, static_cast<int>(Order.size()), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    // The selection follows its vessel to its new place.
    ListView_SetItemState(List, -1, 0, LVIS_SELECTED);
    if (const auto found = std::find(Order.begin(), Order.end(), selected); found != Order.end()) {
        const int row = static_cast<int>(found - Order.begin());
        ListView_SetItemState(List, row, LVIS_SELECTED, LVIS_SELECTED);
    }
    InvalidateRect(List, nullptr, FALSE);
    InvalidateRect(Plot, nullptr, FALSE);
    ShowDetails();
}

void Win32VesselWindow::ShowDetails()
{
    const int at = ListView_GetNextItem(List, -1, LVNI_SELECTED);
    if (at < 0 || static_cast<size_t>(at) >= Order.size())
        return;
    // Lines end CR LF in an edit box.
    std::string text;
    for (char c : VesselDetails(Vessels.Rows()[Order[static_cast<size_t>(at)]])) {
        if (c == '\n' && (text.empty() || text.back() != '\r'))
            text += '\r';
        text += c;
    }
    if (win::WindowText(txtDetails) != text)
        SetWindowTextW(txtDetails, Wide(text).c_str());
}

void Win32VesselWindow::txtStation_Change()
{
    const StationText station = ReadStation(win::WindowText(txtStationLat), win::WindowText(txtStationLon));
    Station = station.At;
    SetWindowTextW(lblStation, station.Invalid ? L"not a position" : L"");
    Rebuild();
}

void Win32VesselWindow::SetStation(const std::string& latitude, const std::string& longitude)
{
    SetWindowTextW(txtStationLat, Wide(latitude).c_str());
    SetWindowTextW(txtStationLon, Wide(longitude).c_str());
}

std::string Win32VesselWindow::StationLatitude() const { return TrimSpaces(win::WindowText(txtStationLat)); }

std::string Win32VesselWindow::StationLongitude() const { return TrimSpaces(win::WindowText(txtStationLon)); }

std::string Win32VesselWindow::Placement() const
{
    RECT box{};
    GetWindowRect(Window, &box);
    return std::to_string(box.left) + "," + std::to_string(box.top) + "," + std::to_string(box.right - box.left) +
           "," + std::to_string(box.bottom - box.top);
}

void Win32VesselWindow::SetPlacement(const std::string& placement)
{
    std::istringstream fields(placement);
    int box[4] = {};
    char comma = 0;
    if (!(fields >> box[0] >> comma >> box[1] >> comma >> box[2] >> comma >> box[3]) || box[2] <= 0 || box[3] <= 0)
        return;
    MoveWindow(Window, box[0], box[1], box[2], box[3], TRUE);
}

bool Win32VesselWindow::IsDialogMessageFor(MSG& message)
{
    return IsWindowVisible(Window) && IsDialogMessageW(Window, &message);
}

void Win32VesselWindow::Arrange()
{
    RECT client{};
    GetClientRect(Window, &client);
    const int width = client.right;
    const int height = client.bottom;
    const int row = 24;
    int x = 6;
    auto place = [&](HWND h, int w) {
        MoveWindow(h, x, 6, w, row - 2, TRUE);
        x += w + 6;
    };
    place(Captions[0], 36);
    place(txtFilter, std::max(120, width / 4));
    place(Captions[1], 48);
    place(txtStationLat, 90);
    place(txtStationLon, 90);
    place(lblStation, 90);
    place(cmdClear, 70);
    const int top = row + 12;
    const int listWidth = width * 3 / 4;
    MoveWindow(List, 6, top, listWidth - 9, height - top - 6, TRUE);
    const int sideLeft = listWidth + 3;
    const int sideWidth = width - sideLeft - 6;
    const int plotHeight = (height - top) / 2;
    MoveWindow(Plot, sideLeft, top, sideWidth, plotHeight - 3, TRUE);
    MoveWindow(txtDetails, sideLeft, top + plotHeight + 3, sideWidth, height - top - plotHeight - 9, TRUE);
}

LRESULT CALLBACK Win32VesselWindow::Procedure(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32VesselWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        self->Window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32VesselWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self != nullptr ? self->Handle(message, w, l) : DefWindowProcW(window, message, w, l);
}

LRESULT Win32VesselWindow::Handle(UINT message, WPARAM w, LPARAM l)
{
    switch (message) {
    case WM_SIZE:
        if (List != nullptr)
            Arrange();
        return 0;
    case WM_CLOSE:
        // The window stays for the next time it is asked for.
        ShowWindow(Window, SW_HIDE);
        return 0;
    case WM_TIMER:
        if (IsWindowVisible(Window)) {
            if (Dirty)
                Rebuild();
            else {
                InvalidateRect(List, nullptr, FALSE);
                InvalidateRect(Plot, nullptr, FALSE);
            }
        }
        return 0;
    case WM_COMMAND:
        switch (LOWORD(w)) {
        case FilterId:
            if (HIWORD(w) == EN_CHANGE) {
                Filter = win::WindowText(txtFilter);
                Rebuild();
            }
            break;
        case LatId:
        case LonId:
            if (HIWORD(w) == EN_CHANGE)
                txtStation_Change();
            break;
        case ClearId:
            if (HIWORD(w) == BN_CLICKED)
                cmdClear_Click();
            break;
        default: break;
        }
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(l);
        if (header->hwndFrom != List)
            break;
        if (header->code == LVN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMLVDISPINFOW*>(l);
            if ((info->item.mask & LVIF_TEXT) != 0 && info->item.iItem >= 0 &&
                static_cast<size_t>(info->item.iItem) < Order.size()) {
                const Vessel& v = Vessels.Rows()[Order[static_cast<size_t>(info->item.iItem)]];
                CellBuffer = Wide(CellText(v, static_cast<VesselColumn>(info->item.iSubItem), Station, Now()));
                lstrcpynW(info->item.pszText, CellBuffer.c_str(), info->item.cchTextMax);
            }
        } else if (header->code == LVN_COLUMNCLICK) {
            const auto column = static_cast<VesselColumn>(reinterpret_cast<const NMLISTVIEW*>(l)->iSubItem);
            Ascending = column == SortColumn ? !Ascending : true;
            SortColumn = column;
            Rebuild();
        } else if (header->code == LVN_ITEMCHANGED) {
            ShowDetails();
        }
        return 0;
    }
    default: break;
    }
    return DefWindowProcW(Window, message, w, l);
}

// --- The range plot -------------------------------------------------------------------

LRESULT CALLBACK Win32VesselWindow::PlotProcedure(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
    auto* self = reinterpret_cast<Win32VesselWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area{};
        GetClientRect(window, &area);
        // Drawn off screen, then shown at once: no flicker every second.
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, area.right, area.bottom);
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (self != nullptr)
            self->PaintPlot(memory, area);
        BitBlt(dc, 0, 0, area.right, area.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEMOVE:
        if (self != nullptr)
            self->PlotHover(static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l)));
        return 0;
    default: break;
    }
    return DefWindowProcW(window, message, w, l);
}

void Win32VesselWindow::PaintPlot(HDC dc, const RECT& area)
{
    HBRUSH background = CreateSolidBrush(RGB(250, 252, 255));
    FillRect(dc, &area, background);
    DeleteObject(background);
    SelectObject(dc, Font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(90, 90, 90));
    Marks.clear();
    const int width = area.right;
    const int height = area.bottom;
    const double mx = width / 2.0;
    const double my = height / 2.0;
    const double radius = std::min(width, height) / 2.0 - 24;
    RECT top{0, 2, width, 18};
    DrawTextW(dc, L"N", -1, &top, DT_CENTER | DT_SINGLELINE);
    const std::optional<Position> centre = PlotCentre(Vessels, Station);
    if (!centre || radius <= 0) {
        RECT all = area;
        DrawTextW(dc, L"No positions heard yet", -1, &all, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return;
    }
    const double range = PlotRange(Vessels, *centre);
    const double scale = radius / range;
    // Range rings, a quarter of the range apart, with their distances.
    HPEN ringPen = CreatePen(PS_SOLID, 1, RGB(180, 190, 205));
    HGDIOBJ oldPen = SelectObject(dc, ringPen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    for (int ring = 1; ring <= 4; ++ring) {
        const double r = radius * ring / 4;
        Ellipse(dc, static_cast<int>(mx - r), static_cast<int>(my - r), static_cast<int>(mx + r),
                static_cast<int>(my + r));
        const std::wstring label = Wide(RingLabel(range * ring / 4));
        TextOutW(dc, static_cast<int>(mx + 3), static_cast<int>(my - r - 16), label.c_str(),
                 static_cast<int>(label.size()));
    }
    MoveToEx(dc, static_cast<int>(mx), static_cast<int>(my - radius), nullptr);
    LineTo(dc, static_cast<int>(mx), static_cast<int>(my + radius));
    MoveToEx(dc, static_cast<int>(mx - radius), static_cast<int>(my), nullptr);
    LineTo(dc, static_cast<int>(mx + radius), static_cast<int>(my));
    SelectObject(dc, oldPen);
    DeleteObject(ringPen);
    if (Station) {
        HPEN cross = CreatePen(PS_SOLID, 2, RGB(0, 0, 0));
        oldPen = SelectObject(dc, cross);
        MoveToEx(dc, static_cast<int>(mx - 5), static_cast<int>(my), nullptr);
        LineTo(dc, static_cast<int>(mx + 6), static_cast<int>(my));
        MoveToEx(dc, static_cast<int>(mx), static_cast<int>(my - 5), nullptr);
        LineTo(dc, static_cast<int>(mx), static_cast<int>(my + 6));
        SelectObject(dc, oldPen);
        DeleteObject(cross);
    } else {
        SetTextColor(dc, RGB(150, 80, 0));
        RECT note{4, height - 20, width - 4, height - 2};
        DrawTextW(dc, L"No station position set: centred on the vessels' centroid", -1, &note, DT_LEFT | DT_SINGLELINE);
    }
    // Each vessel a mark, its heading (or course) a short line; the older
    // its last message, the paler (blended into the background, as GDI has
    // no transparency).
    const double now = Now();
    const auto& rows = Vessels.Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        const Vessel& v = rows[i];
        if (!v.Lat || !v.Lon)
            continue;
        const auto [east, north] = PlotOffset(*centre, {*v.Lat, *v.Lon});
        const int x = static_cast<int>(std::lround(mx + east * scale));
        const int y = static_cast<int>(std::lround(my - north * scale));
        const double a = MarkStrength(v, now);
        auto blend = [a](int c, int b) { return static_cast<BYTE>(std::lround(c * a + b * (1 - a))); };
        const COLORREF colour = RGB(blend(20, 250), blend(90, 252), blend(200, 255));
        HBRUSH dot = CreateSolidBrush(colour);
        RECT box{x - 3, y - 3, x + 3, y + 3};
        FillRect(dc, &box, dot);
        DeleteObject(dot);
        if (const std::optional<double> direction = MarkDirection(v)) {
            HPEN line = CreatePen(PS_SOLID, 2, colour);
            oldPen = SelectObject(dc, line);
            const double angle = *direction * std::numbers::pi / 180;
            MoveToEx(dc, x, y, nullptr);
            LineTo(dc, static_cast<int>(std::lround(x + 14 * std::sin(angle))),
                   static_cast<int>(std::lround(y - 14 * std::cos(angle))));
            SelectObject(dc, oldPen);
            DeleteObject(line);
        }
        Marks.push_back({x, y, i});
    }
    SelectObject(dc, oldBrush);
}

void Win32VesselWindow::PlotHover(int x, int y)
{
    // A name on hover: the nearest mark within 8 pixels.
    const Mark* nearest = nullptr;
    double best = 8;
    for (const Mark& m : Marks) {
        const double d = std::hypot(m.X - x, m.Y - y);
        if (d <= best) {
            best = d;
            nearest = &m;
        }
    }
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = Plot;
    const auto& rows = Vessels.Rows();
    if (nearest == nullptr || nearest->Row >= rows.size()) {
        HoveredRow = static_cast<size_t>(-1);
        SendMessageW(PlotTip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
        return;
    }
    if (nearest->Row == HoveredRow)
        return;
    HoveredRow = nearest->Row;
    const Vessel& v = rows[nearest->Row];
    std::wstring name = Wide(v.Name.value_or(std::to_string(v.Mmsi)));
    tool.lpszText = name.data();
    SendMessageW(PlotTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    POINT at{nearest->X + 10, nearest->Y + 10};
    ClientToScreen(Plot, &at);
    SendMessageW(PlotTip, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    SendMessageW(PlotTip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace kelvane
