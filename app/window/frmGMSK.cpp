#include "window/frmGMSK.h"

#include "Version.h"
#include "core/TextFields.h"
#include "window/VesselRows.h"

namespace kelvane {

using C = Control;

frmGMSK::frmGMSK(WindowView& view, VesselWindow& vessels, MessageBoxes& messages, SoundCapture& capture,
                 SettingsStore& store, DesktopServices desktop)
    : Core(*this), View(view), Vessels(vessels), Messages(messages), Capture(capture), Store(store),
      Desktop(std::move(desktop))
{
    // The network outputs' news arrives on their thread; it is shown from
    // the window's own.
    Core.EventsWaiting = [this] { View.Later([this] { Core.DeliverEvents(); }); };
}

frmGMSK::~frmGMSK() = default;

std::string frmGMSK::VersionCaption()
{
    return std::string(AppName) + " " + std::to_string(KELVANE_VERSION_MAJOR) + "." +
           std::to_string(KELVANE_VERSION_MINOR) + "." + std::to_string(KELVANE_VERSION_PATCH);
}

std::string frmGMSK::StripAtNul(const std::string& text) { return text.substr(0, text.find('\0')); }

void frmGMSK::Changed(Control control)
{
    switch (control) {
    case C::cmdStartMonitoring: cmdStartMonitoring_Click(); break;
    case C::cmdReplay: cmdReplay_Click(); break;
    case C::cmdVessels: cmdVessels_Click(); break;
    case C::cbHighSensitivity: cbHighSensitivity_Click(); break;
    case C::opt44100:
        if (View.Checked(C::opt44100))
            opt44100_Click();
        break;
    case C::opt48000:
        if (View.Checked(C::opt48000))
            opt48000_Click();
        break;
    case C::cbUseDLL: cbUseDLL_Click(); break;
    case C::cbReceivers: cbReceivers_Click(); break;
    case C::cbSwapAB: cbSwapAB_Click(); break;
    case C::cbStartMinMon: cbStartMinMon_Click(); break;
    case C::cbSerial: cbSerial_Click(); break;
    case C::cbLogfile: cbLogfile_Click(); break;
    case C::txtPath: txtPath_Change(); break;
    case C::cmdBrowse: cmdBrowse_Click(); break;
    case C::cbPush: cbPush_Click(); break;
    case C::cbTcpServer: cbTcpServer_Click(); break;
    case C::cbTcpClient: cbTcpClient_Click(); break;
    case C::cbTagBlocks: cbTagBlocks_Click(); break;
    case C::cbHttp: cbHttp_Click(); break;
    default: break;  // no handler
    }
}

// --- Load -----------------------------------------------------------------------------

void frmGMSK::Form_Load()
{
    LoadSettings();
    View.SetText(C::txtPath, LogFileName);

    FillPortList();
    FillDeviceList();

    if (SampleRate == 48000) {
        View.SetChecked(C::opt48000, true);
        opt48000_Click();
    } else {
        SampleRate = 44100;
        View.SetChecked(C::opt44100, true);
        opt44100_Click();
    }

    if (UseDLL)
        View.SetChecked(C::cbUseDLL, true);
    if (EnableSerial)
        View.SetChecked(C::cbSerial, true);
    if (EnableLogfile)
        View.SetChecked(C::cbLogfile, true);
    if (EnableIPLogging)
        View.SetChecked(C::cbPush, true);
    View.SetChecked(C::cbTcpServer, EnableTcpServer);
    View.SetChecked(C::cbTcpClient, EnableTcpClient);
    View.SetChecked(C::cbTagBlocks, EnableTagBlocks);
    View.SetChecked(C::cbHttp, EnableHttp);
    if (EnableStartMin)
        View.SetChecked(C::cbStartMinMon, true);
    if (HighSensitivity)
        View.SetChecked(C::cbHighSensitivity, true);
    View.SetSelectedIndex(C::cbReceivers, Receivers == 2 ? 1 : 0);
    cbReceivers_Click();
    View.SetChecked(C::cbSwapAB, SwapAB);

    BaudRate = ReceiveChain::BaudRate;
    View.SetTrayTip("0% Valid");
    if (Desktop.RaisePriority)
        Desktop.RaisePriority();
    ClearCounters();
    View.SetTitle(VersionCaption());
    View.ShowWindow();
    if (EnableStartMin) {
        cmdStartMonitoring_Click();
        View.MinimiseWindow();
    }
}

// --- Counters and settings controls ------------------------------------------

void frmGMSK::ClearCounters()
{
    for (Control label : {C::lblPreSyncs, C::lblSyncs, C::lblValid, C::lblVPct, C::lblErrors, C::lblEPct,
                          C::lblOverruns, C::lbl123, C::lbl5, C::lbl1819, C::lbl21, C::lblOther, C::lblValidAB})
        View.SetText(label, "");
    Core.ClearCounters();
}

void frmGMSK::EnableSettings(bool enable)
{
    for (Control control : {C::SoundDevice, C::opt44100, C::opt48000, C::cbSerial, C::cbLogfile, C::cbPort,
                            C::cbBaud, C::cbPush, C::txtIPPort, C::txtPath, C::cmdBrowse, C::cbTcpServer,
                            C::txtTcpServer, C::cbTcpClient, C::txtTcpClient, C::cbTagBlocks,
                            C::txtStationName, C::cbHighSensitivity, C::cbReceivers, C::cbSwapAB})
        View.SetEnabled(control, enable);
}

std::string frmGMSK::Percent(int32_t part, int32_t whole)
{
    if (whole <= 0)
        return "0%";
    // Whole-number arithmetic, so that 12.5 % is always 13 %.
    const int64_t rounded = (200 * static_cast<int64_t>(part) + whole) / (2 * static_cast<int64_t>(whole));
    return std::to_string(rounded) + "%";
}

void frmGMSK::CounterChanged(Counter counter, const ReceiveCounters& c)
{
    switch (counter) {
    case Counter::PreSyncs: View.SetText(C::lblPreSyncs, std::to_string(c.PreSyncCount)); break;
    case Counter::Syncs: View.SetText(C::lblSyncs, std::to_string(c.SyncCount)); break;
    case Counter::Valid: View.SetText(C::lblValid, std::to_string(c.ValidCount)); break;
    case Counter::Errors: View.SetText(C::lblErrors, std::to_string(c.ErrorCount)); break;
    case Counter::Overruns: View.SetText(C::lblOverruns, std::to_string(c.OverrunCount)); break;
    case Counter::Types123: View.SetText(C::lbl123, std::to_string(c.MsgCount123)); break;
    case Counter::Type5: View.SetText(C::lbl5, std::to_string(c.MsgCount5)); break;
    case Counter::Types1819: View.SetText(C::lbl1819, std::to_string(c.MsgCount1819)); break;
    case Counter::Type24: View.SetText(C::lbl21, std::to_string(c.MsgCount24)); break;
    case Counter::OtherTypes: View.SetText(C::lblOther, std::to_string(c.MsgCountOther)); break;
    case Counter::ValidPerChannel:
        View.SetText(C::lblValidAB, std::to_string(c.ValidCountA) + " / " + std::to_string(c.ValidCountB));
        break;
    }
    if (counter == Counter::Valid || counter == Counter::Errors) {
        View.SetText(C::lblVPct, Percent(c.ValidCount, c.SyncCount));
        View.SetText(C::lblEPct, Percent(c.ErrorCount, c.SyncCount));
    }
    if (Web.IsOpen())
        Web.Model().Counted(c);
    if (counter == Counter::Valid && View.IsHidden())
        View.SetTrayTip(Percent(c.ValidCount, c.SyncCount) + " valid.");
}

void frmGMSK::LevelChanged(int32_t level)
{
    View.SetLevel(level);
    if (Web.IsOpen()) {
        Web.Model().Level(level);
        const Demodulator active = Core.ActiveDemodulator();
        Web.Model().StreamStarted({active == Demodulator::Burst     ? "burst"
                                   : active == Demodulator::Builtin ? "builtin"
                                                                    : "library",
                                   Core.Format().Channels, Core.Format().SampleRate});
    }
}

void frmGMSK::MessageDecoded(const DecodedMessage& message)
{
    Vessels.Heard(message.Bits, message.Sentences, message.Origin);
    if (Web.IsOpen())
        Web.Model().Heard(message.Bits, message.Sentences, message.Origin);
}

void frmGMSK::Show(const std::string& text, MessageIcon icon, const std::string& title)
{
    Messages.Show(text, icon, title);
}

void frmGMSK::opt44100_Click() { SampleRate = 44100; }

void frmGMSK::opt48000_Click() { SampleRate = 48000; }

void frmGMSK::cbUseDLL_Click() { UseDLL = View.Checked(C::cbUseDLL); }

void frmGMSK::txtPath_Change() { LogFileName = View.Text(C::txtPath); }

void frmGMSK::cbStartMinMon_Click() { EnableStartMin = View.Checked(C::cbStartMinMon); }

void frmGMSK::cbHighSensitivity_Click() { HighSensitivity = View.Checked(C::cbHighSensitivity); }

void frmGMSK::cbSerial_Click() { EnableSerial = View.Checked(C::cbSerial); }

void frmGMSK::cbLogfile_Click() { EnableLogfile = View.Checked(C::cbLogfile); }

void frmGMSK::cbPush_Click()
{
    EnableIPLogging = View.Checked(C::cbPush);
    View.SetEnabled(C::txtIPPort, EnableIPLogging);
}

void frmGMSK::cbTcpServer_Click() { EnableTcpServer = View.Checked(C::cbTcpServer); }

void frmGMSK::cbTcpClient_Click() { EnableTcpClient = View.Checked(C::cbTcpClient); }

void frmGMSK::cbTagBlocks_Click() { EnableTagBlocks = View.Checked(C::cbTagBlocks); }

// The web view serves while its box is ticked, monitoring or not; one that
// cannot listen says why and unticks its box.
void frmGMSK::cbHttp_Click()
{
    EnableHttp = View.Checked(C::cbHttp);
    View.SetEnabled(C::txtHttpPort, !EnableHttp);
    if (!EnableHttp) {
        Web.Close();
        View.SetText(C::lblHttp, "");
        return;
    }
    if (const std::string problem = Web.Open(ChosenWebView()); !problem.empty()) {
        Messages.Show("The web view could not start: " + problem, MessageIcon::Exclamation);
        View.SetChecked(C::cbHttp, false);
        return;
    }
    Web.Model().Counted(Core.Counters());
    View.SetText(C::lblHttp, "serving");
    View.SetToolTip(C::lblHttp, Web.Url());
}

WebViewSettings frmGMSK::ChosenWebView() const
{
    WebViewSettings web;
    web.Address = TrimSpaces(View.Text(C::txtHttpPort));
    web.Station = ReadStation(Vessels.StationLatitude(), Vessels.StationLongitude()).At;
    return web;
}

void frmGMSK::cbReceivers_Click()
{
    Receivers = View.SelectedIndex(C::cbReceivers) == 1 ? 2 : 1;
    View.SetVisible(C::cbSwapAB, Receivers == 2);
    View.SetVisible(C::lblValidABCaption, Receivers == 2);
    View.SetVisible(C::lblValidAB, Receivers == 2);
}

void frmGMSK::cbSwapAB_Click() { SwapAB = View.Checked(C::cbSwapAB); }

void frmGMSK::cmdVessels_Click() { Vessels.ShowVessels(); }

ReceiverSettings frmGMSK::ChosenReceiver() const
{
    ReceiverSettings receiver;
    receiver.Demod = HighSensitivity ? Demodulator::Burst
                     : UseDLL        ? Demodulator::Library
                                     : Demodulator::Builtin;
    receiver.SwapChannels = SwapAB;
    receiver.TraceFlag = DemodTrace;
    return receiver;
}

void frmGMSK::cmdBrowse_Click()
{
    const std::string chosen = Desktop.ChooseLogFile(View.Text(C::txtPath));
    if (!chosen.empty())
        View.SetText(C::txtPath, chosen);
}

// --- The outputs ---------------------------------------------------------------

OutputSettings frmGMSK::ChosenOutputs() const
{
    OutputSettings o;
    o.Serial = View.Checked(C::cbSerial);
    o.SerialPort = View.Text(C::cbPort);
    // The window's speed with the line settings every plotter takes.
    o.SerialSettings = View.Text(C::cbBaud) + ",n,8,1";
    o.Log = View.Checked(C::cbLogfile);
    o.LogPath = View.Text(C::txtPath);
    o.Udp = EnableIPLogging;
    o.UdpList = View.Text(C::txtIPPort);
    o.TcpServer = View.Checked(C::cbTcpServer);
    o.TcpServerAddress = View.Text(C::txtTcpServer);
    o.TcpClient = View.Checked(C::cbTcpClient);
    o.TcpClientTarget = View.Text(C::txtTcpClient);
    o.TagBlocks = View.Checked(C::cbTagBlocks);
    o.StationName = View.Text(C::txtStationName);
    return o;
}

void frmGMSK::OutputFailed(const OutputFailure& failure)
{
    for (const UserMessage& m : failure.Messages)
        Messages.Show(m.Text, m.Icon, m.Title);
    // Unchecking runs the box's handler, as a user's click would: the output
    // is off in the settings too. An invalid UDP list leaves its box checked
    // and sends nothing this run.
    switch (failure.Output) {
    case OutputKind::Serial: View.SetChecked(C::cbSerial, false); break;
    case OutputKind::Log: View.SetChecked(C::cbLogfile, false); break;
    case OutputKind::Udp: break;
    case OutputKind::TcpServer: View.SetChecked(C::cbTcpServer, false); break;
    case OutputKind::TcpClient: View.SetChecked(C::cbTcpClient, false); break;
    case OutputKind::TagBlocks: View.SetChecked(C::cbTagBlocks, false); break;
    }
}

void frmGMSK::TcpServerClients(size_t count, const std::string&)
{
    View.SetText(C::lblTcpClients, count == 1 ? "1 client" : std::to_string(count) + " clients");
}

void frmGMSK::TcpClientState(bool connected, const std::string& why)
{
    View.SetText(C::lblTcpClientState, connected ? "connected" : "waiting");
    View.SetToolTip(C::lblTcpClientState, why);
}

void frmGMSK::UdpSendFailed()
{
    View.SetAlert(C::txtIPPort, true);
    View.StartTimer(WindowTimer::IPTimer, 1000);
}

void frmGMSK::IPTimer_Timer()
{
    View.StopTimer(WindowTimer::IPTimer);
    View.SetAlert(C::txtIPPort, false);
}

// --- Closing ---------------------------------------------------------------------

bool frmGMSK::Form_QueryUnload()
{
    if (Dispatching) {
        // Stop and close once the dispatch in progress has finished.
        CloseAfterDispatch = true;
        return false;
    }
    if (MonitoringActive)
        cmdStartMonitoring_Click();
    if (ReplayActive) {
        ReplayActive = false;
        return false;
    }
    return true;
}

void frmGMSK::Form_Unload()
{
    if (Unloaded)
        return;
    Unloaded = true;
    SaveSettings();
}

void frmGMSK::mnuExit_Click()
{
    // The program ends in every case; a replay that refuses the close only
    // means the settings are not written.
    View.CloseWindow();
    ReplayActive = false;
    View.Quit();
}

}  // namespace kelvane
