// Opening and closing the outputs together around a monitoring run or a
// replay (serial port, log file, UDP, then the TCP server and client, in
// that order), and serving them while the run goes on.
#pragma once

#include "LogFile.h"
#include "MessageBoxes.h"
#include "NetworkThread.h"
#include "OutputDispatch.h"
#include "SerialPort.h"
#include "TagBlocks.h"
#include "TcpClientOutput.h"
#include "TcpServerOutput.h"
#include "UdpTargets.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kelvane {

// The window's Output Options frame, as the outputs see it. Checking or
// unchecking a box runs its click handler, as a user's click would.
class OutputOptionsView {
public:
    virtual ~OutputOptionsView() = default;
    virtual bool SerialChecked() const = 0;
    virtual void SetSerialChecked(bool checked) = 0;
    virtual std::string PortText() const = 0;
    // The line settings for the port: the window's speed followed by
    // ",n,8,1".
    virtual std::string PortSettings() const = 0;
    virtual bool LogChecked() const = 0;
    virtual void SetLogChecked(bool checked) = 0;
    virtual std::string LogPath() const = 0;
    virtual bool PushChecked() const = 0;  // UDP
    virtual std::string IPPortText() const = 0;
    virtual void SetIPPortEnabled(bool enabled) = 0;
    // A failed UDP send: the destination list turns red for about a second.
    virtual void ShowUdpFailure() = 0;
    // The TCP server ("TCP Output", [ADDRESS:]PORT), the TCP client ("Push
    // to", HOST:PORT) and the tag blocks with their station name. An output
    // that cannot open is unchecked, as a user's click would.
    virtual bool TcpServerChecked() const = 0;
    virtual void SetTcpServerChecked(bool checked) = 0;
    virtual std::string TcpServerText() const = 0;
    virtual bool TcpClientChecked() const = 0;
    virtual void SetTcpClientChecked(bool checked) = 0;
    virtual std::string TcpClientText() const = 0;
    virtual bool TagBlocksChecked() const = 0;
    virtual void SetTagBlocksChecked(bool checked) = 0;
    virtual std::string StationNameText() const = 0;
    // How the outputs fare: a client came or went, the push target was
    // reached or lost. Called on the caller's thread, from
    // OutputControl::DeliverEvents.
    virtual void ShowTcpClients(size_t count, const std::string& event) = 0;
    virtual void ShowTcpClientState(bool connected, const std::string& why) = 0;
};

// The persistent output switches that the check boxes keep in step.
struct OutputSettings {
    bool EnableSerial = false;
    bool EnableLogfile = false;
    bool EnableIPLogging = false;
    bool EnableTcpServer = false;
    bool EnableTcpClient = false;
    bool EnableTagBlocks = false;
};

class OutputControl : public OutputPorts {
public:
    OutputControl(OutputOptionsView& view, MessageBoxes& messages, OutputSettings& settings,
                  std::function<bool()> networkAlive = {});
    // Closes the TCP outputs while their reports still have somewhere to go.
    ~OutputControl() override;
    OutputControl(const OutputControl&) = delete;
    OutputControl& operator=(const OutputControl&) = delete;

    // Opens every enabled output and reports each failure; a failed serial
    // port, log file, TCP server or client (or a station name that cannot
    // stand in a tag block) is unchecked and so switched off, an invalid UDP
    // list leaves UDP checked but sends nothing this run.
    void OpenOutputs();
    // Closes them all and delivers what the TCP outputs still had to say.
    void CloseOutputs();

    // The TCP outputs report from the network thread; their reports wait
    // until the caller's thread runs them here (the window between blocks
    // and on its timer, kelvane-decode in its loops).
    void DeliverEvents();

    // A check box was clicked (or changed by the program): the switch it
    // keeps follows it.
    void SerialSwitched();
    void LogSwitched();
    void UdpSwitched();
    void TcpServerSwitched();
    void TcpClientSwitched();
    void TagBlocksSwitched();

    // OutputPorts: what the dispatch of each message uses.
    bool LogChecked() const override { return View.LogChecked(); }
    // A write the system refuses is reported once a run: the sentences
    // still reach the other outputs, but the user must know the log lacks
    // them.
    void WriteLog(std::string_view block) override;
    bool SerialChecked() const override { return View.SerialChecked(); }
    int32_t WritePort(std::string_view block) override { return Serial.WritePort(block); }
    std::string PortName() const override { return View.PortText(); }
    bool UdpActive() const override { return Udp.UdpActive; }
    void SendUdp(std::string_view block) override { Udp.SendUdp(block); }
    void SendTcp(std::string_view block) override;
    std::string WithTagBlocks(std::string_view block) override;

    LogFile Log;
    SerialPort Serial;
    UdpTargets Udp;
    NetworkThread Network;  // before the TCP outputs, which live on it
    TcpServerOutput TcpServer;
    TcpClientOutput TcpClient;
    TagBlocks Tags;
    bool TaggingOn = false;
    // The clock of the tag blocks: Unix seconds when a message is decoded.
    std::function<int64_t()> Clock;

private:
    void Queue(std::function<void()> event);

    std::mutex EventLock;
    std::vector<std::function<void()>> Events;
    OutputOptionsView& View;
    MessageBoxes& Messages;
    OutputSettings& Settings;
    bool LogFailureShown = false;
};

}  // namespace kelvane
