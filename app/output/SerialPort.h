// The serial output: a chart plotter or another program on a serial line
// receives the sentences as from an AIS receiver. The port is held
// exclusively from the start of a run to its end. Every call is made on the
// caller's thread.
#pragma once

#include "core/MessageBoxes.h"

#include <asio/io_context.hpp>
#include <asio/serial_port.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

enum class SerialParity { None, Even, Odd, Mark, Space };
enum class SerialStopBits { One, OneAndHalf, Two };

// The line settings of a mode-command text such as "38400,n,8,1": speed,
// parity (n, e, o, m, s), data bits (5 to 8) and stop bits (1, 1.5, 2).
struct SerialSettings {
    int32_t BaudRate = 0;
    SerialParity Parity = SerialParity::None;
    int32_t DataBits = 8;
    SerialStopBits StopBits = SerialStopBits::One;
};

std::optional<SerialSettings> ParseSerialSettings(std::string_view text);

class SerialPort {
public:
    explicit SerialPort(MessageBoxes& messages) : Messages(messages) {}
    ~SerialPort() { ClosePort(); }
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // The serial devices the system has, by name (ttyUSB0, COM3), in natural
    // order. Linux: those of /sys/class/tty with a device behind them, the
    // legacy ttyS ports only where a UART answers; Windows: COM1 to COM16,
    // those that exist.
    static std::vector<std::string> ListPorts();
    // True when the system knows a serial device of that name: a name from
    // the port list (ttyUSB0) or a device path (/dev/ttyUSB0).
    static bool PortExists(const std::string& portName);

    // Opens the port exclusively and applies the settings text; false after
    // a message that says why, with nothing left open.
    bool OpenPort(const std::string& portName, const std::string& settings);
    // After a failed open, why, in plain words after the port's name: "is
    // not available (No such file or directory)".
    std::string Problem;
    // Writes the whole block and waits until the port has taken it; returns
    // the number of bytes written.
    int32_t WritePort(std::string_view block);
    // Waits until everything written has left the port.
    void FlushPort();
    void ClosePort();

    bool IsOpen() const { return Port.is_open(); }

private:
    // Drops what the port holds unsent.
    void DropOutput();

    MessageBoxes& Messages;
    asio::io_context Io;  // the port's own, run only while a write waits
    asio::serial_port Port{Io};
    int32_t BaudRate = 0;
};

}  // namespace kelvane
