// Hands each message's sentences to the window's outputs: log file, serial
// port, UDP, then the TCP server and client, in that order, each when it is
// switched on. With tag blocks on, the log and the network outputs get the
// tagged form; the serial port never does.
#pragma once

#include "MessageBoxes.h"
#include "SentenceSink.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kelvane {

// The outputs as the window holds them: their check boxes and writers.
class OutputPorts {
public:
    virtual ~OutputPorts() = default;
    virtual bool LogChecked() const = 0;
    virtual void WriteLog(std::string_view block) = 0;
    virtual bool SerialChecked() const = 0;
    // Returns the number of bytes the port took.
    virtual int32_t WritePort(std::string_view block) = 0;
    virtual std::string PortName() const = 0;
    virtual bool UdpActive() const = 0;
    virtual void SendUdp(std::string_view block) = 0;
    // Both TCP outputs, each when it is open.
    virtual void SendTcp(std::string_view block) = 0;
    // The block with its tag blocks, or "" while tag blocks are off.
    virtual std::string WithTagBlocks(std::string_view block) = 0;
};

class OutputDispatch : public SentenceSink {
public:
    OutputDispatch(OutputPorts& ports, MessageBoxes& messages) : Ports(ports), Messages(messages) {}

    // Each output is served whatever happened to the one before; a short
    // serial write is reported and not retried.
    void Deliver(std::string_view block) override;

    // Sees every block first, as the log holds it (kelvane-decode's
    // standard output).
    std::function<void(std::string_view)> Mirror;

private:
    OutputPorts& Ports;
    MessageBoxes& Messages;
};

}  // namespace kelvane
