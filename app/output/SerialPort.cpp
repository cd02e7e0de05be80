#include "output/SerialPort.h"

#include "core/KeptTexts.h"
#include "core/TextFields.h"

#include <asio/write.hpp>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace kelvane {

namespace {

// EINVAL: the number the platform gives for a settings text it cannot read.
constexpr int InvalidSettings = 22;

#ifdef _WIN32

// A COM port exists when it opens, or when another program holds it.
bool Probe(const std::string& portName)
{
    const std::string path = "\\\\.\\" + portName;
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                      nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return true;
    }
    return GetLastError() == ERROR_ACCESS_DENIED;
}

std::string DevicePath(const std::string& portName) { return portName; }

// Mark and space parity, which the port's own options do not offer.
asio::error_code SetParity(asio::serial_port& port, SerialParity parity)
{
    using asio::serial_port_base;
    asio::error_code error;
    if (parity == SerialParity::None || parity == SerialParity::Even || parity == SerialParity::Odd) {
        const auto type = parity == SerialParity::None   ? serial_port_base::parity::none
                          : parity == SerialParity::Even ? serial_port_base::parity::even
                                                         : serial_port_base::parity::odd;
        port.set_option(serial_port_base::parity(type), error);
        return error;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port.native_handle(), &dcb))
        return asio::error_code(static_cast<int>(GetLastError()), asio::system_category());
    dcb.fParity = TRUE;
    dcb.Parity = parity == SerialParity::Mark ? MARKPARITY : SPACEPARITY;
    if (!SetCommState(port.native_handle(), &dcb))
        return asio::error_code(static_cast<int>(GetLastError()), asio::system_category());
    return error;
}

#else

// Names from the port list live in /dev.
std::string DevicePath(const std::string& portName)
{
    return portName.rfind('/', 0) == 0 ? portName : "/dev/" + portName;
}

// The legacy serial driver makes a device for every port it might have;
// only those with a UART behind them are ports.
bool UartAnswers(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    serial_struct serial{};
    const bool answers = ::ioctl(fd, TIOCGSERIAL, &serial) == 0 && serial.type != PORT_UNKNOWN;
    ::close(fd);
    return answers;
}

asio::error_code SetParity(asio::serial_port& port, SerialParity parity)
{
    using asio::serial_port_base;
    // Mark and space are odd and even parity with the parity bit stuck
    // (CMSPAR), which the port's own options do not offer.
    const bool stuck = parity == SerialParity::Mark || parity == SerialParity::Space;
    const auto type = parity == SerialParity::None                                   ? serial_port_base::parity::none
                      : parity == SerialParity::Odd || parity == SerialParity::Mark ? serial_port_base::parity::odd
                                                                                     : serial_port_base::parity::even;
    asio::error_code error;
    port.set_option(serial_port_base::parity(type), error);
    if (error)
        return error;
    termios options{};
    if (::tcgetattr(port.native_handle(), &options) != 0)
        return asio::error_code(errno, asio::system_category());
    if (stuck)
        options.c_cflag |= CMSPAR;
    else
        options.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
    if (::tcsetattr(port.native_handle(), TCSANOW, &options) != 0)
        return asio::error_code(errno, asio::system_category());
    return error;
}

#endif

}  // namespace

std::optional<SerialSettings> ParseSerialSettings(std::string_view text)
{
    std::vector<std::string> fields = SplitAt(text, ',');
    for (std::string& field : fields)
        field = TrimSpaces(field);
    if (fields.size() != 4)
        return std::nullopt;

    SerialSettings settings;
    const std::string& baud = fields[0];
    int32_t value = 0;
    const auto [end, error] = std::from_chars(baud.data(), baud.data() + baud.size(), value);
    if (error != std::errc() || end != baud.data() + baud.size() || value <= 0)
        return std::nullopt;
    // The mode command's two-digit abbreviations of the classic speeds.
    switch (value) {
    case 11: value = 110; break;
    case 15: value = 150; break;
    case 30: value = 300; break;
    case 60: value = 600; break;
    case 12: value = 1200; break;
    case 24: value = 2400; break;
    case 48: value = 4800; break;
    case 96: value = 9600; break;
    case 19: value = 19200; break;
    default: break;
    }
    settings.BaudRate = value;

    const std::string& parity = fields[1];
    if (parity.size() != 1)
        return std::nullopt;
    switch (parity[0] | 0x20) {
    case 'n': settings.Parity = SerialParity::None; break;
    case 'e': settings.Parity = SerialParity::Even; break;
    case 'o': settings.Parity = SerialParity::Odd; break;
    case 'm': settings.Parity = SerialParity::Mark; break;
    case 's': settings.Parity = SerialParity::Space; break;
    default: return std::nullopt;
    }

    const std::string& data = fields[2];
    if (data == "5" || data == "6" || data == "7" || data == "8")
        settings.DataBits = data[0] - '0';
    else
        return std::nullopt;

    const std::string& stop = fields[3];
    if (stop == "1")
        settings.StopBits = SerialStopBits::One;
    else if (stop == "1.5")
        settings.StopBits = SerialStopBits::OneAndHalf;
    else if (stop == "2")
        settings.StopBits = SerialStopBits::Two;
    else
        return std::nullopt;
    return settings;
}

std::vector<std::string> SerialPort::ListPorts()
{
    std::vector<std::string> ports;
#ifdef _WIN32
    for (int i = 1; i <= 16; ++i)
        if (const std::string name = "COM" + std::to_string(i); Probe(name))
            ports.push_back(name);
#else
    namespace fs = std::filesystem;
    std::error_code error;
    for (fs::directory_iterator entry("/sys/class/tty", error), end; !error && entry != end;
         entry.increment(error)) {
        const fs::path device = entry->path() / "device";
        std::error_code missing;
        if (!fs::exists(device, missing))
            continue;  // a virtual terminal, a pty
        const std::string name = entry->path().filename().string();
        // The legacy ports' driver is serial8250, or on recent kernels the
        // serial core's "port" for each of them: told by their name then.
        const std::string driver = fs::read_symlink(device / "driver", missing).filename().string();
        if ((driver == "serial8250" || name.rfind("ttyS", 0) == 0) && !UartAnswers("/dev/" + name))
            continue;
        ports.push_back(name);
    }
#endif
    std::sort(ports.begin(), ports.end(), [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
    return ports;
}

bool SerialPort::PortExists(const std::string& portName)
{
    if (portName.empty())
        return false;
#ifdef _WIN32
    return Probe(portName);
#else
    if (portName.rfind('/', 0) == 0) {
        struct stat info {};
        return ::stat(portName.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
    }
    const std::vector<std::string> ports = ListPorts();
    return std::find(ports.begin(), ports.end(), portName) != ports.end();
#endif
}

bool SerialPort::OpenPort(const std::string& portName, const std::string& settings)
{
    ClosePort();
    asio::error_code error;
    Port.open(DevicePath(portName), error);
#ifndef _WIN32
    // Held exclusively: no other program opens it while we write (on
    // Windows every open is exclusive).
    if (!error && ::ioctl(Port.native_handle(), TIOCEXCL) != 0)
        error.assign(errno, asio::system_category());
#endif
    if (error) {
        asio::error_code ignored;
        Port.close(ignored);
        Problem = "is not available (" + error.message() + ")";
        Messages.Show("Com Port " + portName + kept::PortNotAvailable, MessageIcon::Exclamation);
        return false;
    }
    // Reads and writes here need no time-outs to be set: the port is never
    // read, and writes wait for the port (see WritePort).

    const std::optional<SerialSettings> parsed = ParseSerialSettings(settings);
    if (!parsed) {
        ClosePort();
        Problem = "cannot take the settings " + settings;
        Messages.Show(kept::BuildCommDcb + settings + " Error: " + std::to_string(InvalidSettings));
        return false;
    }

    using asio::serial_port_base;
    Port.set_option(serial_port_base::baud_rate(static_cast<unsigned int>(parsed->BaudRate)), error);
    if (!error)
        error = SetParity(Port, parsed->Parity);
    if (!error)
        Port.set_option(serial_port_base::character_size(static_cast<unsigned int>(parsed->DataBits)), error);
    if (!error) {
        const auto stop = parsed->StopBits == SerialStopBits::One          ? serial_port_base::stop_bits::one
                          : parsed->StopBits == SerialStopBits::OneAndHalf ? serial_port_base::stop_bits::onepointfive
                                                                           : serial_port_base::stop_bits::two;
        Port.set_option(serial_port_base::stop_bits(stop), error);
    }
    if (!error)
        Port.set_option(serial_port_base::flow_control(serial_port_base::flow_control::none), error);
    if (error) {
        // The system's error number.
        ClosePort();
        Problem = "refused the settings " + settings + " (" + error.message() + ")";
        Messages.Show(kept::SetCommDcb + settings + " Error: " + std::to_string(error.value()));
        return false;
    }
    BaudRate = parsed->BaudRate;
    return true;
}

int32_t SerialPort::WritePort(std::string_view block)
{
    if (!Port.is_open())
        return 0;
    size_t written = 0;
    bool finished = false;
    asio::async_write(Port, asio::buffer(block.data(), block.size()),
                      [&](const asio::error_code&, size_t taken) {
                          written = taken;
                          finished = true;
                      });
    // Wait until the port has taken the block. A real port drains at its
    // speed; the deadline (three times the block's time on the line, plus
    // five seconds) only ends a wait on a port that takes nothing at all,
    // such as a virtual one whose reader has stopped.
    const auto lineTime = std::chrono::milliseconds(static_cast<int64_t>(block.size()) * 10 * 1000 * 3 /
                                                    std::max<int32_t>(BaudRate, 1));
    Io.restart();
    Io.run_for(lineTime + std::chrono::seconds(5));
    if (!finished) {
        asio::error_code ignored;
        Port.cancel(ignored);
        Io.restart();
        Io.run();  // the write ends, with what it had written
    }
    if (written != block.size())
        DropOutput();  // reported short, not sent later
    return static_cast<int32_t>(written);
}

void SerialPort::DropOutput()
{
#ifdef _WIN32
    PurgeComm(Port.native_handle(), PURGE_TXABORT | PURGE_TXCLEAR);
#else
    ::tcflush(Port.native_handle(), TCOFLUSH);
#endif
}

void SerialPort::FlushPort()
{
    if (!Port.is_open())
        return;
#ifdef _WIN32
    FlushFileBuffers(Port.native_handle());
#else
    ::tcdrain(Port.native_handle());
#endif
}

void SerialPort::ClosePort()
{
    if (!Port.is_open())
        return;
    FlushPort();
#ifndef _WIN32
    ::ioctl(Port.native_handle(), TIOCNXCL);
#endif
    asio::error_code ignored;
    Port.close(ignored);
}

}  // namespace kelvane
