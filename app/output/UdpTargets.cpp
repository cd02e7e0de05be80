#include "UdpTargets.h"

#include "TextFields.h"

#include <QHostInfo>
#include <QNetworkInterface>

#include <charconv>
#include <cmath>

namespace kelvane {

namespace {

// A port text: a decimal number (sign, fraction and exponent allowed, as a
// number converts), rounded halves to even, from 1000 to 65000. Read without
// the locale, so that the decimal point is always ".".
std::optional<int32_t> ParsePort(const std::string& text)
{
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    double value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value, std::chars_format::general);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value);  // the default mode: halves to even
    if (rounded < 1000 || rounded > 65000)
        return std::nullopt;
    return static_cast<int32_t>(rounded);
}

std::optional<UdpDestination> ParseEntry(std::string_view entry)
{
    const std::vector<std::string> parts = SplitAt(TrimSpaces(entry), ':');
    if (parts.size() != 2)
        return std::nullopt;
    const std::optional<int32_t> port = ParsePort(TrimSpaces(parts[1]));
    if (!port)
        return std::nullopt;
    return UdpDestination{TrimSpaces(parts[0]), *port};
}

}  // namespace

std::optional<std::vector<UdpDestination>> ParseUdpDestinations(std::string_view text)
{
    std::vector<UdpDestination> destinations;
    if (text.empty())
        return destinations;
    for (const std::string& entry : SplitAt(text, ',')) {
        const std::optional<UdpDestination> destination = ParseEntry(entry);
        if (!destination)
            return std::nullopt;
        destinations.push_back(*destination);
    }
    return destinations;
}

bool UdpTargets::AnyNetworkInterfaceUp()
{
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning) &&
            !flags.testFlag(QNetworkInterface::IsLoopBack))
            return true;
    }
    return false;
}

UdpTargets::UdpTargets(std::function<bool()> networkAlive)
    : NetworkAlive(networkAlive ? std::move(networkAlive) : AnyNetworkInterfaceUp)
{
}

bool UdpTargets::OpenUdpTargets(std::string_view list)
{
    if (list.empty())
        return true;
    for (const std::string& entry : SplitAt(list, ',')) {
        const std::optional<UdpDestination> destination = ParseEntry(entry);
        if (!destination)
            return false;
        Endpoint endpoint;
        endpoint.Destination = *destination;
        // Resolved once, when the run starts: a name that does not resolve
        // shows as failed sends.
        const QString host = QString::fromStdString(destination->Host);
        if (!endpoint.Address.setAddress(host)) {
            const QHostInfo info = QHostInfo::fromName(host);
            if (!info.addresses().isEmpty())
                endpoint.Address = info.addresses().first();
        }
        endpoint.Socket = std::make_unique<QUdpSocket>();
        endpoint.Socket->bind(endpoint.Address.protocol() == QAbstractSocket::IPv6Protocol
                                  ? QHostAddress::AnyIPv6
                                  : QHostAddress::AnyIPv4,
                              0);
        Endpoints.push_back(std::move(endpoint));
    }
    return true;
}

void UdpTargets::Fail(const UdpDestination& destination)
{
    if (OnSendFailure)
        OnSendFailure(destination);
}

void UdpTargets::SendUdp(std::string_view block)
{
    if (Endpoints.empty()) {
        // An empty list opens nothing, yet the output is on: every message
        // shows as a failure, so that the user sees nothing is sent.
        Fail({});
        return;
    }
    std::optional<bool> alive;  // asked only when a destination needs it
    for (const Endpoint& endpoint : Endpoints) {
        if (endpoint.Address.isNull()) {
            Fail(endpoint.Destination);
            continue;
        }
        if (!endpoint.Address.isLoopback()) {
            if (!alive)
                alive = NetworkAlive();
            if (!*alive) {
                Fail(endpoint.Destination);
                continue;
            }
        }
        const qint64 sent = endpoint.Socket->writeDatagram(
            block.data(), static_cast<qint64>(block.size()), endpoint.Address,
            static_cast<quint16>(endpoint.Destination.Port));
        if (sent != static_cast<qint64>(block.size()))
            Fail(endpoint.Destination);
    }
}

void UdpTargets::CloseUdpTargets()
{
    for (auto it = Endpoints.rbegin(); it != Endpoints.rend(); ++it)
        it->Socket->close();
    Endpoints.clear();
    UdpActive = false;
}

}  // namespace kelvane
