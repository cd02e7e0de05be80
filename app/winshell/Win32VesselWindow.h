// The vessel window on Windows: the list of who was heard (a virtual list
// view, sorted by a click on a column, filtered by a text), a vessel's
// details, the station's position, and the range plot drawn with GDI. What
// each cell shows and how rows sort comes from window/VesselRows, as in the
// Qt window.
#pragma once

#include "ais/VesselTable.h"
#include "window/Desktop.h"
#include "window/VesselRows.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace kelvane {

class Win32VesselWindow : public VesselWindow {
public:
    Win32VesselWindow(HINSTANCE instance, HFONT font, HICON icon);
    ~Win32VesselWindow() override;
    Win32VesselWindow(const Win32VesselWindow&) = delete;
    Win32VesselWindow& operator=(const Win32VesselWindow&) = delete;

    // VesselWindow.
    void ShowVessels() override;
    void Heard(std::span<const int32_t> messageBits, std::string_view sentences,
               const MessageOrigin& origin) override;
    void SetStation(const std::string& latitude, const std::string& longitude) override;
    std::string StationLatitude() const override;
    std::string StationLongitude() const override;
    std::string Placement() const override;
    void SetPlacement(const std::string& placement) override;

    // Tab between its boxes: the message loop offers each message here.
    bool IsDialogMessageFor(MSG& message);

    void cmdClear_Click();
    HWND Handle() const { return Window; }
    const VesselTable& Table() const { return Vessels; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    static LRESULT CALLBACK PlotProcedure(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    void Arrange();
    // The rows the filter keeps, in the chosen order; the list is redrawn.
    void Rebuild();
    void ShowDetails();
    void PaintPlot(HDC dc, const RECT& area);
    void PlotHover(int x, int y);
    void txtStation_Change();
    double Now() const;

    HINSTANCE Instance;
    HFONT Font;
    HWND Window = nullptr;
    HWND txtFilter = nullptr;
    HWND txtStationLat = nullptr;
    HWND txtStationLon = nullptr;
    HWND lblStation = nullptr;
    HWND cmdClear = nullptr;
    HWND List = nullptr;
    HWND Plot = nullptr;
    HWND txtDetails = nullptr;
    HWND PlotTip = nullptr;
    std::vector<HWND> Captions;

    VesselTable Vessels;
    std::optional<Position> Station;
    std::string Filter;
    std::vector<size_t> Order;  // table rows, as listed
    VesselColumn SortColumn = VesselColumn::LastHeard;
    bool Ascending = true;
    bool Dirty = false;
    std::wstring CellBuffer;  // the text the list view asked for last
    struct Mark {
        int X;
        int Y;
        size_t Row;
    };
    std::vector<Mark> Marks;  // as last drawn
    size_t HoveredRow = static_cast<size_t>(-1);
};

}  // namespace kelvane
