// frmGMSK, Kelvane's main window without its toolkit: what the receiver
// hears (counters, message types, the input level), the settings for audio
// input and outputs, monitoring from the sound card, replay of recordings,
// closing. Every handler is here, under its control's name; a toolkit (Qt on
// Linux, Win32 on Windows) makes the controls, implements WindowView and
// forwards each control's events to Changed.
#pragma once

#include "audio/SoundCapture.h"
#include "core/MessageBoxes.h"
#include "station/Station.h"
#include "station/StationEvents.h"
#include "window/Desktop.h"
#include "window/SettingsStore.h"
#include "window/WindowView.h"
#include "web/WebView.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>

namespace kelvane {

inline constexpr const char* AppName = "Kelvane";

class frmGMSK : public StationEvents {
public:
    frmGMSK(WindowView& view, VesselWindow& vessels, MessageBoxes& messages, SoundCapture& capture,
            SettingsStore& store, DesktopServices desktop);
    ~frmGMSK() override;
    frmGMSK(const frmGMSK&) = delete;
    frmGMSK& operator=(const frmGMSK&) = delete;

    // Loads the settings, fills the lists, shows the window, and starts
    // monitoring minimised when the settings ask for it.
    void Form_Load();
    // A control was clicked or changed (by the user, or by the program as a
    // user's click would): its handler runs.
    void Changed(Control control);
    // A close request: false when it must wait (a dispatch or a replay in
    // progress, which then ends); true when the window may unload.
    bool Form_QueryUnload();
    // The window goes: the settings are written, once.
    void Form_Unload();

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

    Station Core;  // the receiving station
    WebView Web;   // while "Web view" is ticked

private:
    void FillPortList();
    void FillDeviceList();
    void StartMonitoring();
    void StopMonitoring();
    void CloseOutputs();
    std::string ReadSetting(const std::string& name, const std::string& defaultText);
    void WriteSetting(const std::string& name, const std::string& text);
    ReceiverSettings ChosenReceiver() const;

    WindowView& View;
    VesselWindow& Vessels;
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
