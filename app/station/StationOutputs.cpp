#include "station/StationOutputs.h"

#include <chrono>
#include <utility>

namespace kelvane {

namespace {

UserMessage Plain(std::string text) { return {std::move(text), MessageIcon::None, {}}; }

}  // namespace

StationOutputs::StationOutputs(StationEvents& events, std::function<void(std::function<void()>)> post,
                               std::function<bool()> networkAlive)
    : Events(events), Serial(SerialMessages), Udp(std::move(networkAlive)), TcpServer(Network),
      TcpClient(Network)
{
    Udp.OnSendFailure = [this](const UdpDestination&) { Events.UdpSendFailed(); };
    TcpServer.OnClientEvent = [this, post](const std::string& event) {
        post([this, count = TcpServer.ClientCount(), event] { Events.TcpServerClients(count, event); });
    };
    TcpClient.OnStateChange = [this, post](bool connected, const std::string& why) {
        post([this, connected, why] { Events.TcpClientState(connected, why); });
    };
    Clock = [] {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    };
}

void StationOutputs::Failed(OutputKind output, std::vector<UserMessage> messages, std::string problem)
{
    Events.OutputFailed({output, std::move(messages), std::move(problem)});
}

void StationOutputs::Open(const OutputSettings& settings)
{
    Close();
    LogFailureShown = false;
    if (settings.Serial) {
        PortName = settings.SerialPort;
        SerialMessages.Held.clear();
        SerialOn = Serial.OpenPort(PortName, settings.SerialSettings);
        if (!SerialOn) {
            std::vector<UserMessage> messages = std::move(SerialMessages.Held);
            messages.push_back(Plain("Unable to open " + PortName + "!"));
            Failed(OutputKind::Serial, std::move(messages), "serial port " + PortName + " " + Serial.Problem);
        }
    }
    if (settings.Log) {
        LogPath = settings.LogPath;
        LogOn = Log.OpenLog(LogPath);
        if (!LogOn)
            Failed(OutputKind::Log, {Plain("Unable to open log file at " + LogPath + "!")},
                   "cannot open log file " + LogPath + ": " + Log.Problem());
    }
    if (settings.Udp) {
        UdpOn = Udp.OpenUdpTargets(settings.UdpList);
        Udp.UdpActive = UdpOn;
        if (!UdpOn)
            Failed(OutputKind::Udp, {Plain("Invalid IP:Port values specified!")},
                   "invalid UDP destination list \"" + settings.UdpList + "\"");
    }
    if (settings.TcpServer) {
        if (const std::string problem = TcpServer.Open(settings.TcpServerAddress); !problem.empty())
            Failed(OutputKind::TcpServer, {Plain(problem)}, problem);
        else
            Events.TcpServerClients(0, "listening on " + settings.TcpServerAddress);
    }
    if (settings.TcpClient) {
        if (const std::string problem = TcpClient.Open(settings.TcpClientTarget); !problem.empty())
            Failed(OutputKind::TcpClient, {Plain(problem)}, problem);
        else
            Events.TcpClientState(false, "connecting");
    }
    if (settings.TagBlocks) {
        if (const std::string problem = StationNameProblem(settings.StationName); !problem.empty()) {
            Failed(OutputKind::TagBlocks, {Plain(problem + " Tag blocks are off.")}, problem);
        } else {
            Tags.StationName = settings.StationName;
            TaggingOn = true;
        }
    }
}

void StationOutputs::Close()
{
    Serial.ClosePort();
    Log.CloseLog();
    Udp.CloseUdpTargets();
    TcpServer.Close();
    TcpClient.Close();
    SerialOn = LogOn = UdpOn = TaggingOn = false;
}

std::string StationOutputs::Deliver(std::string_view block)
{
    std::string logged = TaggingOn ? Tags.Tag(block, Clock()) : std::string(block);
    // Each output is served whatever happened to the one before; a short
    // serial write is reported and not retried.
    if (LogOn && !Log.WriteLog(logged) && !std::exchange(LogFailureShown, true)) {
        // The sentences still reach the other outputs, but the user must
        // know the log lacks them; once a run is enough.
        Events.Show("Unable to write to log file at " + LogPath + "! " + Log.Problem(),
                    MessageIcon::Exclamation, {});
    }
    if (SerialOn) {
        const int32_t written = Serial.WritePort(block);
        if (written != static_cast<int32_t>(block.size()))
            Events.Show("Unable to write to " + PortName + "!\r\nWrote " + std::to_string(written) +
                            " of " + std::to_string(block.size()),
                        MessageIcon::None, {});
    }
    if (UdpOn)
        Udp.SendUdp(logged);
    if (TcpServer.IsOpen())
        TcpServer.Send(logged);
    if (TcpClient.IsOpen())
        TcpClient.Send(logged);
    return logged;
}

OutputStats StationOutputs::Stats() const
{
    return {Udp.Sent,
            Udp.Failed,
            TcpServer.BlocksSent.load(),
            TcpServer.ClientsServed.load(),
            TcpServer.ClientsDropped.load(),
            TcpServer.ClientsRefused.load(),
            TcpClient.BlocksSent.load(),
            TcpClient.BlocksDropped.load(),
            TcpClient.Reconnects.load()};
}

}  // namespace kelvane
