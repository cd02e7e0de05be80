// The serial output: a chart plotter or another program on a serial line
// receives the sentences as from an AIS receiver. The port is held
// exclusively from the start of a run to its end.
#pragma once

#include "core/MessageBoxes.h"

#include <QSerialPort>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

// The line settings of a mode-command text such as "38400,n,8,1": speed,
// parity (n, e, o, m, s), data bits (5 to 8) and stop bits (1, 1.5, 2).
struct SerialSettings {
    int32_t BaudRate = 0;
    QSerialPort::Parity Parity = QSerialPort::NoParity;
    QSerialPort::DataBits DataBits = QSerialPort::Data8;
    QSerialPort::StopBits StopBits = QSerialPort::OneStop;
};

std::optional<SerialSettings> ParseSerialSettings(std::string_view text);

class SerialPort {
public:
    explicit SerialPort(MessageBoxes& messages) : Messages(messages) {}

    // True when the system knows a serial device of that name: a name from
    // the port list (ttyUSB0) or a device path (/dev/ttyUSB0).
    static bool PortExists(const std::string& portName);

    // Opens the port exclusively and applies the settings text; false after
    // a message that says why, with nothing left open.
    bool OpenPort(const std::string& portName, const std::string& settings);
    // Writes the whole block and waits until the port has taken it; returns
    // the number of bytes written.
    int32_t WritePort(std::string_view block);
    // Waits until everything written has left the port.
    void FlushPort();
    void ClosePort();

    bool IsOpen() const { return PortHandle.isOpen(); }

private:
    MessageBoxes& Messages;
    QSerialPort PortHandle;
};

}  // namespace kelvane
