#include "OutputControl.h"

#include <cerrno>
#include <chrono>
#include <cstring>

namespace kelvane {

OutputControl::OutputControl(OutputOptionsView& view, MessageBoxes& messages,
                             OutputSettings& settings, std::function<bool()> networkAlive)
    : Serial(messages), Udp(std::move(networkAlive)), TcpServer(Network), TcpClient(Network), View(view),
      Messages(messages), Settings(settings)
{
    Udp.OnSendFailure = [this](const UdpDestination&) { View.ShowUdpFailure(); };
    // The count as it was when the client came or went.
    TcpServer.OnClientEvent = [this](const std::string& event) {
        Queue([this, count = TcpServer.ClientCount(), event] { View.ShowTcpClients(count, event); });
    };
    TcpClient.OnStateChange = [this](bool connected, const std::string& why) {
        Queue([this, connected, why] { View.ShowTcpClientState(connected, why); });
    };
    Clock = [] {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
}

OutputControl::~OutputControl()
{
    TcpServer.Close();
    TcpClient.Close();
}

void OutputControl::Queue(std::function<void()> event)
{
    std::lock_guard lock(EventLock);
    Events.push_back(std::move(event));
}

void OutputControl::DeliverEvents()
{
    std::vector<std::function<void()>> due;
    {
        std::lock_guard lock(EventLock);
        due.swap(Events);
    }
    for (const std::function<void()>& event : due)
        event();
}

void OutputControl::SendTcp(std::string_view block)
{
    if (TcpServer.IsOpen())
        TcpServer.Send(block);
    if (TcpClient.IsOpen())
        TcpClient.Send(block);
}

std::string OutputControl::WithTagBlocks(std::string_view block)
{
    return TaggingOn ? Tags.Tag(block, Clock()) : std::string();
}

void OutputControl::WriteLog(std::string_view block)
{
    if (Log.WriteLog(block) || LogFailureShown)
        return;
    LogFailureShown = true;
    Messages.Show("Unable to write to log file at " + View.LogPath() + "! " + std::strerror(errno),
                  MessageIcon::Exclamation);
}

void OutputControl::OpenOutputs()
{
    LogFailureShown = false;
    // Each output is tried whatever became of the one before.
    if (View.SerialChecked()) {
        const std::string port = View.PortText();
        if (!Serial.OpenPort(port, View.PortSettings())) {
            Messages.Show("Unable to open " + port + "!");
            View.SetSerialChecked(false);
        }
    }
    if (View.LogChecked()) {
        const std::string path = View.LogPath();
        if (!Log.OpenLog(path)) {
            Messages.Show("Unable to open log file at " + path + "!");
            View.SetLogChecked(false);
        }
    }
    if (Settings.EnableIPLogging) {
        Udp.UdpActive = Udp.OpenUdpTargets(View.IPPortText());
        if (!Udp.UdpActive)
            Messages.Show("Invalid IP:Port values specified!");
    }
    if (View.TcpServerChecked()) {
        if (const std::string problem = TcpServer.Open(View.TcpServerText()); !problem.empty()) {
            Messages.Show(problem);
            View.SetTcpServerChecked(false);
        }
        else
            View.ShowTcpClients(0, "listening on " + View.TcpServerText());
    }
    if (View.TcpClientChecked()) {
        if (const std::string problem = TcpClient.Open(View.TcpClientText()); !problem.empty()) {
            Messages.Show(problem);
            View.SetTcpClientChecked(false);
        } else {
            View.ShowTcpClientState(false, "connecting");
        }
    }
    TaggingOn = false;
    if (View.TagBlocksChecked()) {
        const std::string name = View.StationNameText();
        if (const std::string problem = StationNameProblem(name); !problem.empty()) {
            Messages.Show(problem + " Tag blocks are off.");
            View.SetTagBlocksChecked(false);
        } else {
            Tags.StationName = name;
            TaggingOn = true;
        }
    }
}

void OutputControl::CloseOutputs()
{
    // Whatever is open is closed, so that nothing outlives the run even if
    // a box changed under it.
    Serial.ClosePort();
    Log.CloseLog();
    Udp.CloseUdpTargets();
    TcpServer.Close();
    TcpClient.Close();
    TaggingOn = false;
    DeliverEvents();
}

void OutputControl::SerialSwitched() { Settings.EnableSerial = View.SerialChecked(); }

void OutputControl::LogSwitched() { Settings.EnableLogfile = View.LogChecked(); }

void OutputControl::UdpSwitched()
{
    Settings.EnableIPLogging = View.PushChecked();
    View.SetIPPortEnabled(Settings.EnableIPLogging);
}

void OutputControl::TcpServerSwitched() { Settings.EnableTcpServer = View.TcpServerChecked(); }

void OutputControl::TcpClientSwitched() { Settings.EnableTcpClient = View.TcpClientChecked(); }

void OutputControl::TagBlocksSwitched() { Settings.EnableTagBlocks = View.TagBlocksChecked(); }

}  // namespace kelvane
