// frmGMSK, Kelvane's window: what the receiver hears (counters, message
// types, the input level), the settings for audio input and outputs,
// monitoring from the sound card, replay of recordings, and the tray.
#pragma once

#include "audio/SoundCapture.h"
#include "core/MessageBoxes.h"
#include "shell/SettingsStore.h"
#include "shell/frmVessels.h"
#include "station/Station.h"
#include "station/StationEvents.h"
#include "web/WebView.h"

#include <QWidget>

#include <functional>
#include <map>
#include <set>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSystemTrayIcon;
class QTimer;

namespace kelvane {

// What the window asks of the desktop; tests replace the dialogs and keys.
struct DesktopServices {
    // The file dialogs: the chosen path, or "" when cancelled.
    std::function<std::string(const std::string& folder)> ChooseReplayFile;
    std::function<std::string(const std::string& current)> ChooseLogFile;
    std::function<bool()> CtrlHeld;
    std::function<bool()> TrayAvailable;
};

class frmGMSK : public QWidget, public StationEvents {
    Q_OBJECT

public:
    frmGMSK(MessageBoxes& messages, SoundCapture& capture, SettingsStore& store,
            DesktopServices desktop);
    ~frmGMSK() override;

    // Loads the settings, fills the lists, shows the window, and starts
    // monitoring minimised when the settings ask for it.
    void Form_Load();

    // Handlers, under their controls' names.
    void cmdStartMonitoring_Click();
    void cmdReplay_Click();
    void cmdVessels_Click();
    void Timer_Timer();
    void opt44100_Click();
    void opt48000_Click();
    void cbUseDLL_Click();
    void txtPath_Change();
    void cmdBrowse_Click();
    void cbStartMinMon_Click();
    void cbHighSensitivity_Click();
    void cbReceivers_Click();
    void cbSerial_Click();
    void cbLogfile_Click();
    void cbPush_Click();
    void cbTcpServer_Click();
    void cbTcpClient_Click();
    void cbTagBlocks_Click();
    void cbSwapAB_Click();
    void cbHttp_Click();
    void mnuShow_Click();
    void mnuExit_Click();
    void IPTimer_Timer();

    // Window operations.
    void ClearCounters();
    void EnableSettings(bool enable);
    void LoadSettings();
    void SaveSettings();
    std::string ReplayWavFile(const std::string& fileName);

    static std::string StripAtNul(const std::string& text);
    static std::string VersionCaption();

    // The outputs as the controls set them up.
    OutputSettings ChosenOutputs() const;
    // The web view as its controls and the vessel window's station set it up.
    WebViewSettings ChosenWebView() const;
    // "0%": the ratio times 100 rounded to a whole number, halves up.
    static std::string Percent(int32_t part, int32_t whole);

    // What the station tells the window.
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override;
    void OutputFailed(const OutputFailure& failure) override;
    void UdpSendFailed() override;
    void TcpServerClients(size_t count, const std::string& event) override;
    void TcpClientState(bool connected, const std::string& why) override;
    void CounterChanged(Counter counter, const ReceiveCounters& counters) override;
    void LevelChanged(int32_t level) override;
    void MessageDecoded(const DecodedMessage& message) override;

    // Window-level values.
    bool MonitoringActive = false;
    bool ReplayActive = false;
    int32_t SampleRate = 0;
    int32_t SoundDeviceNumber = 0;
    bool UseDLL = false;
    std::string LogFileName;
    int32_t BaudRate = 0;
    int32_t DemodTrace = 0;
    std::string LastReplayDir;
    int32_t WavDataBytes = 0;
    AudioFormat WavFormat;  // of the last file whose header was read
    // Persistent settings beside the output switches.
    std::string ComPortNumber;  // the port's name, "None" when there is none
    int32_t ComBaudRate = 0;
    bool EnableStartMin = false;
    bool HighSensitivity = false;  // the burst demodulator serves
    int32_t Receivers = 1;         // 2: a stereo sound card, left A and right B
    bool SwapAB = false;           // with two receivers: left B, right A
    // The output switches that the check boxes keep in step.
    bool EnableSerial = false;
    bool EnableLogfile = false;
    bool EnableIPLogging = false;
    bool EnableTcpServer = false;
    bool EnableTcpClient = false;
    bool EnableTagBlocks = false;
    bool EnableHttp = false;

    frmVessels* Vessels;  // a window of its own, owned by this one
    Station Core;         // the receiving station
    WebView Web;          // while "Web view" is ticked

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
    void FillPortList();
    void FillDeviceList();
    void Form_Resize();
    void TrayWatch_Timer();
    bool Form_QueryUnload();
    void Form_Unload();
    void StartMonitoring();
    void StopMonitoring();
    void CloseOutputs();
    std::string ReadSetting(const std::string& name, const std::string& defaultText);
    ReceiverSettings ChosenReceiver() const;
    void WriteSetting(const std::string& name, const std::string& text);
    QLabel* Label(Counter label) const;

    MessageBoxes& Messages;
    SoundCapture& Capture;
    SettingsStore& Store;
    DesktopServices Desktop;


    bool Dispatching = false;
    bool StopAfterDispatch = false;
    bool CloseAfterDispatch = false;
    bool Unloaded = false;
    bool SettingsFailed = false;
    std::set<std::pair<int32_t, std::string>> ReadErrorsShown;  // this load's
};

}  // namespace kelvane
