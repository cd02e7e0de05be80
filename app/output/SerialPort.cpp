#include "output/SerialPort.h"

#include "core/KeptTexts.h"
#include "core/TextFields.h"

#include <QDeadlineTimer>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

#include <termios.h>

namespace kelvane {

namespace {

// The device path for a port name: names from the port list live in /dev.
QString DevicePath(const std::string& portName)
{
    return QString::fromStdString(portName.rfind('/', 0) == 0 ? portName : "/dev/" + portName);
}

// EINVAL: the number the platform gives for a settings text it cannot read.
constexpr int InvalidSettings = 22;

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
    case 'n': settings.Parity = QSerialPort::NoParity; break;
    case 'e': settings.Parity = QSerialPort::EvenParity; break;
    case 'o': settings.Parity = QSerialPort::OddParity; break;
    case 'm': settings.Parity = QSerialPort::MarkParity; break;
    case 's': settings.Parity = QSerialPort::SpaceParity; break;
    default: return std::nullopt;
    }

    const std::string& data = fields[2];
    if (data == "5" || data == "6" || data == "7" || data == "8")
        settings.DataBits = static_cast<QSerialPort::DataBits>(data[0] - '0');
    else
        return std::nullopt;

    const std::string& stop = fields[3];
    if (stop == "1")
        settings.StopBits = QSerialPort::OneStop;
    else if (stop == "1.5")
        settings.StopBits = QSerialPort::OneAndHalfStop;
    else if (stop == "2")
        settings.StopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;
    return settings;
}

bool SerialPort::PortExists(const std::string& portName)
{
    if (portName.empty())
        return false;
    if (portName.rfind('/', 0) == 0) {
        struct stat info {};
        return ::stat(portName.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
    }
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        if (info.portName().toStdString() == portName)
            return true;
    return false;
}

bool SerialPort::OpenPort(const std::string& portName, const std::string& settings)
{
    ClosePort();
    PortHandle.setPortName(DevicePath(portName));
    if (!PortHandle.open(QIODevice::ReadWrite)) {
        Messages.Show("Com Port " + portName + kept::PortNotAvailable, MessageIcon::Exclamation);
        return false;
    }
    // Reads and writes here need no time-outs to be set: the port is never
    // read, and writes wait for the port (see WritePort).

    const std::optional<SerialSettings> parsed = ParseSerialSettings(settings);
    if (!parsed) {
        PortHandle.close();
        Messages.Show(kept::BuildCommDcb + settings + " Error: " +
                      std::to_string(InvalidSettings));
        return false;
    }

    errno = 0;
    const bool applied = PortHandle.setBaudRate(parsed->BaudRate) &&
                         PortHandle.setParity(parsed->Parity) &&
                         PortHandle.setDataBits(parsed->DataBits) &&
                         PortHandle.setStopBits(parsed->StopBits) &&
                         PortHandle.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied) {
        // The system's error number where it gave one, else the port's own.
        const int code = errno != 0 ? errno : static_cast<int>(PortHandle.error());
        PortHandle.close();
        Messages.Show(kept::SetCommDcb + settings + " Error: " + std::to_string(code));
        return false;
    }
    return true;
}

int32_t SerialPort::WritePort(std::string_view block)
{
    if (!PortHandle.isOpen())
        return 0;
    const qint64 accepted = PortHandle.write(block.data(), static_cast<qint64>(block.size()));
    if (accepted < 0)
        return 0;
    // Wait until the port has taken the block. A real port drains at its
    // speed; the deadline (three times the block's time on the line, plus
    // five seconds) only ends a wait on a port that takes nothing at all,
    // such as a virtual one whose reader has stopped.
    const qint64 lineTime = static_cast<qint64>(block.size()) * 10 * 1000 * 3 /
                            std::max<qint32>(PortHandle.baudRate(), 1);
    QDeadlineTimer deadline(lineTime + 5000);
    while (PortHandle.bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!PortHandle.waitForBytesWritten(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1))))
            break;
    }
    const qint64 unwritten = PortHandle.bytesToWrite();
    if (unwritten > 0)
        PortHandle.clear(QSerialPort::Output);  // reported short, not sent later
    return static_cast<int32_t>(accepted - unwritten);
}

void SerialPort::FlushPort()
{
    if (!PortHandle.isOpen())
        return;
    PortHandle.flush();
    while (PortHandle.bytesToWrite() > 0 && PortHandle.waitForBytesWritten(5000)) {
    }
    ::tcdrain(static_cast<int>(PortHandle.handle()));
}

void SerialPort::ClosePort()
{
    if (!PortHandle.isOpen())
        return;
    FlushPort();
    PortHandle.close();
}

}  // namespace kelvane
