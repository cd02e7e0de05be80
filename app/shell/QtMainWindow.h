// The main window on Linux: Qt makes its controls, shows it, minimises it
// into the tray, and forwards every control's event to the window's logic
// (window/frmGMSK), which decides what happens.
#pragma once

#include "shell/frmVessels.h"
#include "window/frmGMSK.h"

#include <QWidget>

#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSystemTrayIcon;
class QTimer;

namespace kelvane {

class QtMainWindow : public QWidget, public WindowView {
    Q_OBJECT

public:
    QtMainWindow(MessageBoxes& messages, SoundCapture& capture, SettingsStore& store,
                 DesktopServices desktop);
    ~QtMainWindow() override;

    void mnuShow_Click();
    // The widget that is the named control.
    QWidget* Widget(Control control) const;

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

    frmVessels* Vessels;  // a window of its own, owned by this one
    frmGMSK Logic;

    // Controls, under their names.
    QPushButton* cmdStartMonitoring = nullptr;
    QPushButton* cmdReplay = nullptr;
    QPushButton* cmdVessels = nullptr;
    QCheckBox* cbHighSensitivity = nullptr;
    QTimer* Timer = nullptr;
    QLabel* lblPreSyncsCaption = nullptr;
    QLabel* lblPreSyncs = nullptr;
    QLabel* lblSyncs = nullptr;
    QLabel* lblValid = nullptr;
    QLabel* lblErrors = nullptr;
    QLabel* lblOverruns = nullptr;
    QLabel* lblVPct = nullptr;
    QLabel* lblEPct = nullptr;
    QLabel* lbl123 = nullptr;
    QLabel* lbl5 = nullptr;
    QLabel* lbl1819 = nullptr;
    QLabel* lbl21 = nullptr;
    QLabel* lblOther = nullptr;
    QLabel* lblValidABCaption = nullptr;
    QLabel* lblValidAB = nullptr;
    QComboBox* SoundDevice = nullptr;
    QRadioButton* opt44100 = nullptr;
    QRadioButton* opt48000 = nullptr;
    QCheckBox* cbUseDLL = nullptr;
    QCheckBox* cbStartMinMon = nullptr;
    QComboBox* cbReceivers = nullptr;
    QCheckBox* cbSwapAB = nullptr;
    QProgressBar* pbLevel = nullptr;
    QCheckBox* cbSerial = nullptr;
    QComboBox* cbPort = nullptr;
    QComboBox* cbBaud = nullptr;
    QCheckBox* cbLogfile = nullptr;
    QLineEdit* txtPath = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QCheckBox* cbPush = nullptr;
    QLineEdit* txtIPPort = nullptr;
    QCheckBox* cbTcpServer = nullptr;
    QLineEdit* txtTcpServer = nullptr;
    QLabel* lblTcpClients = nullptr;
    QCheckBox* cbTcpClient = nullptr;
    QLineEdit* txtTcpClient = nullptr;
    QLabel* lblTcpClientState = nullptr;
    QCheckBox* cbTagBlocks = nullptr;
    QLineEdit* txtStationName = nullptr;
    QCheckBox* cbHttp = nullptr;
    QLineEdit* txtHttpPort = nullptr;
    QLabel* lblHttp = nullptr;
    QTimer* IPTimer = nullptr;
    QMenu* mnuPopUp = nullptr;
    QSystemTrayIcon* Tray = nullptr;
    // While minimised: follows a tray that appears or goes away.
    QTimer* TrayWatch = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;  // Form_QueryUnload, then Form_Unload
    void changeEvent(QEvent* event) override;      // Form_Resize

private:
    void BuildControls();
    void Form_Resize();
    void TrayWatch_Timer();

    std::function<bool()> TrayAvailable;
};

}  // namespace kelvane
