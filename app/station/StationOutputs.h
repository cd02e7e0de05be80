// The outputs of a run, opened together from the settings (serial port, log
// file, UDP, then the TCP server and client, and the tag blocks, in that
// order) and fed each message in that order. With tag blocks on, the log and
// the network outputs get the tagged form; the serial port never does.
#pragma once

#include "nmea/TagBlocks.h"
#include "output/LogFile.h"
#include "output/NetworkThread.h"
#include "output/SerialPort.h"
#include "output/TcpClientOutput.h"
#include "output/TcpServerOutput.h"
#include "output/UdpTargets.h"
#include "station/OutputSettings.h"
#include "station/StationEvents.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// What the network outputs did since they opened.
struct OutputStats {
    int64_t UdpSent = 0;
    int64_t UdpFailed = 0;
    int64_t TcpServerBlocksSent = 0;
    int64_t TcpServerClientsServed = 0;
    int64_t TcpServerClientsDropped = 0;
    int64_t TcpServerClientsRefused = 0;
    int64_t TcpClientBlocksSent = 0;
    int64_t TcpClientBlocksDropped = 0;
    int64_t TcpClientReconnects = 0;
};

class StationOutputs {
public:
    // Events of the TCP outputs come from the network thread: they are
    // handed to post, which must bring them to the events' thread.
    StationOutputs(StationEvents& events, std::function<void(std::function<void()>)> post,
                   std::function<bool()> networkAlive = {});

    // Opens every output the settings switch on, each whatever became of the
    // one before. One that fails is reported and stays off for this run.
    void Open(const OutputSettings& settings);
    // Closes whatever is open, so that nothing outlives the run.
    void Close();

    // One message's SentenceBlock to every open output, in order; returns
    // the form the log got (tagged where tag blocks are on).
    std::string Deliver(std::string_view block);

    OutputStats Stats() const;
    // The clock of the tag blocks: Unix seconds when a message is decoded.
    std::function<int64_t()> Clock;

private:
    // What the serial port says when it cannot open, kept for the report.
    class HeldMessages : public MessageBoxes {
    public:
        void Show(const std::string& text, MessageIcon icon, const std::string& title) override
        {
            Held.push_back({text, icon, title});
        }
        std::vector<UserMessage> Held;
    };

    void Failed(OutputKind output, std::vector<UserMessage> messages, std::string problem);

    StationEvents& Events;
    // Before the TCP outputs, which run on it.
    NetworkThread Network;
    HeldMessages SerialMessages;
    SerialPort Serial;
    LogFile Log;
    UdpTargets Udp;
    TcpServerOutput TcpServer;
    TcpClientOutput TcpClient;
    TagBlocks Tags;

    std::string PortName;
    std::string LogPath;
    bool SerialOn = false;
    bool LogOn = false;
    bool UdpOn = false;
    bool TaggingOn = false;
    bool LogFailureShown = false;
};

}  // namespace kelvane
