// The main window on Windows: the controls of the window's layout made with
// the Win32 API, every control's event forwarded to the window's logic
// (window/frmGMSK), the tray icon with Shell_NotifyIcon, the timers with
// SetTimer.
#pragma once

#include "window/frmGMSK.h"
#include "winshell/Win32VesselWindow.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kelvane {

class Win32MainWindow : public WindowView {
public:
    Win32MainWindow(HINSTANCE instance, MessageBoxes& messages, SoundCapture& capture, SettingsStore& store,
                    DesktopServices desktop);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    HWND Handle() const { return Window; }
    // The message loop, until the program ends; its exit code.
    int Run();
    void mnuShow_Click();

    // WindowView.
    std::string Text(Control control) const override;
    void SetText(Control control, const std::string& text) override;
    bool Checked(Control control) const override;
    void SetChecked(Control control, bool checked) override;
    void SetEnabled(Control control, bool enabled) override;
    void SetVisible(Control control, bool visible) override;
    void AddItem(Control list, const std::string& item) override;
    int ItemCount(Control list) const override;
    int FindItem(Control list, const std::string& item) const override;
    int SelectedIndex(Control list) const override;
    void SetSelectedIndex(Control list, int index) override;
    void SetAlert(Control control, bool alert) override;
    void SetToolTip(Control control, const std::string& text) override;
    void SetLevel(int value) override;
    void SetTitle(const std::string& title) override;
    void ShowWindow() override;
    void MinimiseWindow() override;
    bool IsMinimised() const override;
    bool IsHidden() const override;
    void CloseWindow() override;
    void Quit() override;
    void Position(int& left, int& top) const override;
    void MoveTo(int left, int top) override;
    void SetTrayTip(const std::string& text) override;
    void StartTimer(WindowTimer timer, int milliseconds) override;
    void StopTimer(WindowTimer timer) override;
    void ProcessEvents() override;
    void Later(std::function<void()> work) override;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT Handle(UINT message, WPARAM w, LPARAM l);
    void BuildControls();
    HWND Item(Control control) const;
    void Command(int id, int notification);
    void Form_Resize();
    void ShowTrayIcon(bool shown);
    void ShowPopUp();

    HINSTANCE Instance;
    HWND Window = nullptr;
    HFONT Font = nullptr;
    HICON Icon = nullptr;
    HBRUSH AlertBrush = nullptr;
    HWND ToolTips = nullptr;
    HWND LevelBar = nullptr;
    std::map<Control, HWND> Controls;
    std::map<Control, bool> Alerts;
    std::wstring TrayTip;
    bool TrayIconShown = false;
    UINT TaskbarCreated = 0;
    bool Closed = false;

    std::mutex LaterLock;
    std::vector<std::function<void()>> LaterWork;

public:
    std::unique_ptr<Win32VesselWindow> Vessels;
    std::unique_ptr<frmGMSK> Logic;
};

}  // namespace kelvane
