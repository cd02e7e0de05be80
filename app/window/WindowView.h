// What the window's logic asks of a toolkit: the controls by their names,
// the window itself, its tray icon and its timers. The Qt window on Linux
// and the Win32 window on Windows each make the controls, implement this
// and forward every control's events to frmGMSK::Changed; what a handler
// does is written once, in frmGMSK.
#pragma once

#include <functional>
#include <string>

namespace kelvane {

// The main window's controls, by the names its handlers use.
enum class Control {
    // Processing Options
    cmdStartMonitoring,
    cmdReplay,
    cbHighSensitivity,
    cmdVessels,
    // Demodulator Counts and Message IDs
    lblPreSyncsCaption,
    lblPreSyncs,
    lblSyncs,
    lblValid,
    lblErrors,
    lblOverruns,
    lblVPct,
    lblEPct,
    lblValidABCaption,
    lblValidAB,
    lbl123,
    lbl5,
    lbl1819,
    lbl21,
    lblOther,
    // Audio Input Options
    SoundDevice,
    opt44100,
    opt48000,
    cbUseDLL,
    cbReceivers,
    cbSwapAB,
    cbStartMinMon,
    // Output Options
    cbSerial,
    cbPort,
    cbBaud,
    cbLogfile,
    txtPath,
    cmdBrowse,
    cbPush,
    txtIPPort,
    cbTcpServer,
    txtTcpServer,
    lblTcpClients,
    cbTcpClient,
    txtTcpClient,
    lblTcpClientState,
    cbTagBlocks,
    txtStationName,
    cbHttp,
    txtHttpPort,
    lblHttp,
};

// The window's two timers: the capture timer, and the one that ends the UDP
// failure indicator.
enum class WindowTimer { Timer, IPTimer };

class WindowView {
public:
    virtual ~WindowView() = default;

    // A label's or button's caption, a text box's text, a drop-down list's
    // chosen item.
    virtual std::string Text(Control control) const = 0;
    virtual void SetText(Control control, const std::string& text) = 0;
    // Check boxes and option buttons. Setting a new value runs the control's
    // handler, as a user's click would.
    virtual bool Checked(Control control) const = 0;
    virtual void SetChecked(Control control, bool checked) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
    virtual void SetVisible(Control control, bool visible) = 0;
    // Drop-down lists. Choosing another item runs the list's handler.
    virtual void AddItem(Control list, const std::string& item) = 0;
    virtual int ItemCount(Control list) const = 0;
    virtual int FindItem(Control list, const std::string& item) const = 0;  // -1: none
    virtual int SelectedIndex(Control list) const = 0;                      // -1: none
    virtual void SetSelectedIndex(Control list, int index) = 0;
    // A text box in red (a failed UDP send), or as it was.
    virtual void SetAlert(Control control, bool alert) = 0;
    virtual void SetToolTip(Control control, const std::string& text) = 0;
    // The level bar, 128 to 255.
    virtual void SetLevel(int value) = 0;

    virtual void SetTitle(const std::string& title) = 0;
    // Shows the window, and minimises it (to the tray where there is one).
    virtual void ShowWindow() = 0;
    virtual void MinimiseWindow() = 0;
    virtual bool IsMinimised() const = 0;
    // True while the window sits in the tray.
    virtual bool IsHidden() const = 0;
    // Asks the window to close, as its close box does: the logic's
    // Form_QueryUnload may refuse.
    virtual void CloseWindow() = 0;
    // Ends the program's event loop.
    virtual void Quit() = 0;
    // The window's top left corner on the screen, in pixels.
    virtual void Position(int& left, int& top) const = 0;
    virtual void MoveTo(int left, int top) = 0;
    virtual void SetTrayTip(const std::string& text) = 0;

    virtual void StartTimer(WindowTimer timer, int milliseconds) = 0;
    virtual void StopTimer(WindowTimer timer) = 0;
    // Lets the toolkit handle the events that wait (inside a dispatch or a
    // replay, so that the window stays alive).
    virtual void ProcessEvents() = 0;
    // Runs work on the window's thread soon; callable from any thread.
    virtual void Later(std::function<void()> work) = 0;
};

}  // namespace kelvane
