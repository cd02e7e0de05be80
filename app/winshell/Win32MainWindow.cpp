#include "winshell/Win32MainWindow.h"

#include "station/StationEvents.h"
#include "window/WindowLayout.h"
#include "winshell/Win32Text.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

namespace kelvane {

using win::Narrow;
using win::Wide;

namespace {

constexpr wchar_t ClassName[] = L"KelvaneMain";
constexpr UINT TrayMessage = WM_APP + 1;
constexpr UINT LaterMessage = WM_APP + 2;
constexpr UINT TrayIconId = 1;
constexpr int FirstControlId = 1000;
constexpr int FixedCaptionId = 2000;
constexpr UINT_PTR TimerId = 1;
constexpr UINT_PTR IPTimerId = 2;
constexpr UINT_PTR MenuShow = 1;
constexpr UINT_PTR MenuExit = 2;

int IdOf(Control control) { return FirstControlId + static_cast<int>(control); }

bool IsControlId(int id)
{
    return id >= FirstControlId && id <= FirstControlId + static_cast<int>(Control::lblHttp);
}

}  // namespace

Win32MainWindow::Win32MainWindow(HINSTANCE instance, MessageBoxes& messages, SoundCapture& capture,
                                 SettingsStore& store, DesktopServices desktop)
    : Instance(instance)
{
    Icon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    WNDCLASSEXW type{};
    type.cbSize = sizeof type;
    type.lpfnWndProc = Procedure;
    type.hInstance = instance;
    type.hIcon = Icon;
    type.hIconSm = Icon;
    type.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
    type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    type.lpszClassName = ClassName;
    RegisterClassExW(&type);

    // The client area is the layout's; the frame comes around it.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT size{0, 0, WindowWidthTwips / 15, WindowHeightTwips / 15};
    AdjustWindowRect(&size, style, FALSE);
    Window = CreateWindowExW(0, ClassName, Wide(AppName).c_str(), style, 0, 0, size.right - size.left,
                             size.bottom - size.top, nullptr, nullptr, instance, this);
    AlertBrush = CreateSolidBrush(RGB(255, 0, 0));
    TaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    // The layout is drawn for an 8-point font.
    HDC screen = GetDC(nullptr);
    Font = CreateFontW(-MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"MS Shell Dlg 2");
    ReleaseDC(nullptr, screen);
    BuildControls();

    Vessels = std::make_unique<Win32VesselWindow>(instance, Font, Icon);
    Logic = std::make_unique<frmGMSK>(*this, *Vessels, messages, capture, store, std::move(desktop));
}

Win32MainWindow::~Win32MainWindow()
{
    ShowTrayIcon(false);
    Logic.reset();
    Vessels.reset();
    if (Window != nullptr)
        DestroyWindow(Window);
    DeleteObject(Font);
    DeleteObject(AlertBrush);
}

void Win32MainWindow::BuildControls()
{
    ToolTips = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Window, nullptr, Instance, nullptr);
    int fixed = FixedCaptionId;
    bool firstOption = true;
    for (const LaidOut& item : MainWindowLayout()) {
        const TwipRect at = PixelPlace(item);
        const wchar_t* type = L"BUTTON";
        DWORD style = WS_CHILD | (item.Hidden ? 0 : WS_VISIBLE);
        int height = at.Height;
        switch (item.Kind) {
        case ControlKind::Frame: style |= BS_GROUPBOX; break;
        case ControlKind::Label:
            type = L"STATIC";
            style |= SS_LEFT | SS_NOPREFIX;
            break;
        case ControlKind::Button: style |= BS_PUSHBUTTON | WS_TABSTOP; break;
        case ControlKind::CheckBox: style |= BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP; break;
        case ControlKind::OptionButton:
            // The two rates are one group: a click on one clears the other.
            style |= BS_AUTORADIOBUTTON | WS_TABSTOP | (firstOption ? WS_GROUP : 0);
            firstOption = false;
            break;
        case ControlKind::DropDown:
            type = L"COMBOBOX";
            style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP;
            height = 200;  // with its list open
            break;
        case ControlKind::TextBox:
            type = L"EDIT";
            style |= ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP;
            break;
        case ControlKind::LevelBar:
            type = PROGRESS_CLASSW;
            style |= PBS_VERTICAL | PBS_SMOOTH;
            break;
        }
        const int id = item.Name ? IdOf(*item.Name) : fixed++;
        HWND control = CreateWindowExW(0, type, Wide(item.Caption).c_str(), style, at.Left, at.Top, at.Width,
                                       height, Window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance,
                                       nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
        if (item.Name)
            Controls[*item.Name] = control;
        if (item.Kind == ControlKind::LevelBar) {
            SendMessageW(control, PBM_SETRANGE32, LevelMinimum, 255);
            SendMessageW(control, PBM_SETPOS, LevelMinimum, 0);
            LevelBar = control;
        }
    }
    for (const std::string& choice : ReceiverChoices())
        SendMessageW(Item(Control::cbReceivers), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(choice).c_str()));
    SendMessageW(Item(Control::txtStationName), EM_SETLIMITTEXT, StationNameLength, 0);
    SendMessageW(Item(Control::opt44100), BM_SETCHECK, BST_CHECKED, 0);
    EnableWindow(Item(Control::txtIPPort), FALSE);
}

HWND Win32MainWindow::Item(Control control) const
{
    const auto found = Controls.find(control);
    return found == Controls.end() ? nullptr : found->second;
}

// --- The controls for the window's logic -------------------------------------------

std::string Win32MainWindow::Text(Control control) const
{
    HWND item = Item(control);
    wchar_t type[32] = {};
    GetClassNameW(item, type, 32);
    if (lstrcmpiW(type, L"COMBOBOX") == 0) {
        // A drop-down list's text is its chosen item's.
        const auto index = SendMessageW(item, CB_GETCURSEL, 0, 0);
        if (index == CB_ERR)
            return {};
        std::wstring text(static_cast<size_t>(SendMessageW(item, CB_GETLBTEXTLEN, index, 0)) + 1, L'\0');
        text.resize(static_cast<size_t>(SendMessageW(item, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()))));
        return Narrow(text);
    }
    return win::WindowText(item);
}

void Win32MainWindow::SetText(Control control, const std::string& text)
{
    // A text box's change notification runs its handler, as Qt's does.
    SetWindowTextW(Item(control), Wide(text).c_str());
}

bool Win32MainWindow::Checked(Control control) const
{
    return SendMessageW(Item(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32MainWindow::SetChecked(Control control, bool checked)
{
    if (Checked(control) == checked)
        return;
    SendMessageW(Item(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    // The other rate goes off, as a click on this one would have it.
    if (checked && (control == Control::opt44100 || control == Control::opt48000)) {
        const Control other = control == Control::opt44100 ? Control::opt48000 : Control::opt44100;
        SendMessageW(Item(other), BM_SETCHECK, BST_UNCHECKED, 0);
        Logic->Changed(other);
    }
    Logic->Changed(control);
}

void Win32MainWindow::SetEnabled(Control control, bool enabled) { EnableWindow(Item(control), enabled); }

void Win32MainWindow::SetVisible(Control control, bool visible)
{
    ::ShowWindow(Item(control), visible ? SW_SHOW : SW_HIDE);
}

void Win32MainWindow::AddItem(Control list, const std::string& item)
{
    SendMessageW(Item(list), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
}

int Win32MainWindow::ItemCount(Control list) const
{
    return static_cast<int>(SendMessageW(Item(list), CB_GETCOUNT, 0, 0));
}

int Win32MainWindow::FindItem(Control list, const std::string& item) const
{
    const auto found = SendMessageW(Item(list), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(Wide(item).c_str()));
    return found == CB_ERR ? -1 : static_cast<int>(found);
}

int Win32MainWindow::SelectedIndex(Control list) const
{
    const auto index = SendMessageW(Item(list), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

void Win32MainWindow::SetSelectedIndex(Control list, int index)
{
    if (SelectedIndex(list) == index)
        return;
    SendMessageW(Item(list), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Logic->Changed(list);
}

void Win32MainWindow::SetAlert(Control control, bool alert)
{
    Alerts[control] = alert;
    InvalidateRect(Item(control), nullptr, TRUE);
}

void Win32MainWindow::SetToolTip(Control control, const std::string& text)
{
    std::wstring wide = Wide(text);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Window;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(control));
    tool.lpszText = wide.data();
    if (!SendMessageW(ToolTips, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool))) {
        tool.lpszText = wide.data();
        SendMessageW(ToolTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    tool.lpszText = wide.data();
    SendMessageW(ToolTips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32MainWindow::SetLevel(int value) { SendMessageW(LevelBar, PBM_SETPOS, static_cast<WPARAM>(value), 0); }

void Win32MainWindow::SetTitle(const std::string& title) { SetWindowTextW(Window, Wide(title).c_str()); }

void Win32MainWindow::ShowWindow()
{
    ::ShowWindow(Window, SW_SHOW);
    UpdateWindow(Window);
}

void Win32MainWindow::MinimiseWindow() { ::ShowWindow(Window, SW_MINIMIZE); }

bool Win32MainWindow::IsMinimised() const { return IsIconic(Window) != FALSE; }

bool Win32MainWindow::IsHidden() const { return IsWindowVisible(Window) == FALSE; }

void Win32MainWindow::CloseWindow() { SendMessageW(Window, WM_CLOSE, 0, 0); }

void Win32MainWindow::Quit() { PostQuitMessage(0); }

void Win32MainWindow::Position(int& left, int& top) const
{
    RECT box{};
    GetWindowRect(Window, &box);
    left = box.left;
    top = box.top;
}

void Win32MainWindow::MoveTo(int left, int top)
{
    SetWindowPos(Window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32MainWindow::SetTrayTip(const std::string& text)
{
    TrayTip = Wide(text);
    if (TrayIconShown)
        ShowTrayIcon(true);
}

void Win32MainWindow::StartTimer(WindowTimer timer, int milliseconds)
{
    SetTimer(Window, timer == WindowTimer::Timer ? TimerId : IPTimerId, static_cast<UINT>(milliseconds), nullptr);
}

void Win32MainWindow::StopTimer(WindowTimer timer)
{
    KillTimer(Window, timer == WindowTimer::Timer ? TimerId : IPTimerId);
}

void Win32MainWindow::ProcessEvents()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Seen again by the main loop, which ends the program.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (!IsDialogMessageW(Window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void Win32MainWindow::Later(std::function<void()> work)
{
    {
        const std::lock_guard lock(LaterLock);
        LaterWork.push_back(std::move(work));
    }
    PostMessageW(Window, LaterMessage, 0, 0);
}

int Win32MainWindow::Run()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(Window, &message) && !Vessels->IsDialogMessageFor(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}

// --- Events -------------------------------------------------------------------------

LRESULT CALLBACK Win32MainWindow::Procedure(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        self->Window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self != nullptr ? self->Handle(message, w, l) : DefWindowProcW(window, message, w, l);
}

void Win32MainWindow::Command(int id, int notification)
{
    if (!IsControlId(id) || !Logic)
        return;
    const auto control = static_cast<Control>(id - FirstControlId);
    // Buttons and boxes on a click, lists on a new choice, text boxes as
    // their text changes; the logic ignores what has no handler.
    if (notification == BN_CLICKED || notification == CBN_SELCHANGE || notification == EN_CHANGE)
        Logic->Changed(control);
}

LRESULT Win32MainWindow::Handle(UINT message, WPARAM w, LPARAM l)
{
    if (message == TaskbarCreated && TaskbarCreated != 0) {
        // Explorer started again: the icon goes back into its new tray.
        if (TrayIconShown) {
            TrayIconShown = false;
            ShowTrayIcon(true);
        }
        return 0;
    }
    switch (message) {
    case WM_COMMAND:
        if (l == 0 && HIWORD(w) == 0) {
            // The pop-up menu.
            if (LOWORD(w) == MenuShow)
                mnuShow_Click();
            else if (LOWORD(w) == MenuExit && Logic)
                Logic->mnuExit_Click();
            return 0;
        }
        Command(LOWORD(w), HIWORD(w));
        return 0;
    case WM_TIMER:
        if (Logic && w == TimerId)
            Logic->Timer_Timer();
        else if (Logic && w == IPTimerId)
            Logic->IPTimer_Timer();
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        const auto control = static_cast<Control>(GetDlgCtrlID(reinterpret_cast<HWND>(l)) - FirstControlId);
        if (IsControlId(GetDlgCtrlID(reinterpret_cast<HWND>(l))) && Alerts[control]) {
            SetBkColor(reinterpret_cast<HDC>(w), RGB(255, 0, 0));
            return reinterpret_cast<LRESULT>(AlertBrush);
        }
        break;
    }
    case WM_SIZE:
        if (w == SIZE_MINIMIZED)
            Form_Resize();
        return 0;
    case TrayMessage:
        if (LOWORD(l) == WM_LBUTTONDBLCLK)
            mnuShow_Click();
        else if (LOWORD(l) == WM_RBUTTONUP || LOWORD(l) == WM_CONTEXTMENU)
            ShowPopUp();
        return 0;
    case LaterMessage: {
        std::vector<std::function<void()>> due;
        {
            const std::lock_guard lock(LaterLock);
            due.swap(LaterWork);
        }
        for (const auto& work : due)
            work();
        return 0;
    }
    case WM_CLOSE:
        if (!Logic || !Logic->Form_QueryUnload())
            return 0;
        Logic->Form_Unload();
        ShowTrayIcon(false);
        Closed = true;
        ::ShowWindow(Window, SW_HIDE);
        PostQuitMessage(0);
        return 0;
    default: break;
    }
    return DefWindowProcW(Window, message, w, l);
}

// --- The tray -------------------------------------------------------------------------

void Win32MainWindow::Form_Resize()
{
    // Minimised, the window waits in the tray; a double click on its icon,
    // or Show on its menu, brings it back.
    if (!Logic || Closed)
        return;
    ShowTrayIcon(true);
    ::ShowWindow(Window, SW_HIDE);
}

void Win32MainWindow::mnuShow_Click()
{
    ::ShowWindow(Window, SW_RESTORE);
    SetForegroundWindow(Window);
    ShowTrayIcon(false);
}

void Win32MainWindow::ShowTrayIcon(bool shown)
{
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = Window;
    icon.uID = TrayIconId;
    if (!shown) {
        if (TrayIconShown)
            Shell_NotifyIconW(NIM_DELETE, &icon);
        TrayIconShown = false;
        return;
    }
    icon.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
    icon.uCallbackMessage = TrayMessage;
    icon.hIcon = Icon;
    lstrcpynW(icon.szTip, TrayTip.c_str(), static_cast<int>(std::size(icon.szTip)));
    Shell_NotifyIconW(TrayIconShown ? NIM_MODIFY : NIM_ADD, &icon);
    TrayIconShown = true;
}

void Win32MainWindow::ShowPopUp()
{
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, MenuShow, L"&Show");
    AppendMenuW(menu, MF_STRING, MenuExit, L"&Exit");
    POINT at{};
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only if the window is
    // in the foreground.
    SetForegroundWindow(Window);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, Window, nullptr);
    PostMessageW(Window, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

}  // namespace kelvane
