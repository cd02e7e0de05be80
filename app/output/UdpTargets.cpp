#include "output/UdpTargets.h"

#include "core/TextFields.h"

#include <QHostInfo>
#include <QNetworkInterface>

#include <charconv>
#include <cmath>
#include <thread>

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

UdpTargets::UdpTargets(std::function<bool()> networkAlive, HostResolver resolver)
    : NetworkAlive(networkAlive ? std::move(networkAlive) : AnyNetworkInterfaceUp),
      Resolver(resolver ? std::move(resolver) : SystemResolver)
{
}

QHostAddress UdpTargets::SystemResolver(const std::string& host)
{
    // Plotters mostly listen on IPv4 only: "localhost" should reach one
    // even where the system lists ::1 first.
    const QList<QHostAddress> addresses = QHostInfo::fromName(QString::fromStdString(host)).addresses();
    for (const QHostAddress& address : addresses)
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return address;
    return addresses.isEmpty() ? QHostAddress() : addresses.first();
}

void UdpTargets::StartLookup(Endpoint& endpoint)
{
    const std::shared_ptr<Lookup> lookup = endpoint.NameLookup;
    {
        std::lock_guard lock(lookup->Lock);
        if (lookup->Running)
            return;
        lookup->Running = true;
        lookup->Started = std::chrono::steady_clock::now();
    }
    endpoint.FailedSinceLookup = false;
    // Detached: a name server that never answers must not hold up the
    // close or the program's end.
    std::thread([lookup, resolver = Resolver, host = endpoint.Destination.Host] {
        const QHostAddress address = resolver(host);
        std::lock_guard lock(lookup->Lock);
        if (!address.isNull())
            lookup->Address = address;
        lookup->Running = false;
    }).detach();
}

QHostAddress UdpTargets::CurrentAddress(Endpoint& endpoint)
{
    if (!endpoint.NameLookup)
        return endpoint.Address;
    const auto now = std::chrono::steady_clock::now();
    bool again = false;
    {
        std::lock_guard lock(endpoint.NameLookup->Lock);
        endpoint.Address = endpoint.NameLookup->Address;
        const auto since = now - endpoint.NameLookup->Started;
        again = !endpoint.NameLookup->Running &&
                (since >= LookupInterval || (endpoint.FailedSinceLookup && since >= RetryInterval));
    }
    if (again)
        StartLookup(endpoint);
    return endpoint.Address;
}

bool UdpTargets::OpenUdpTargets(std::string_view list)
{
    Sent = Failed = 0;
    if (list.empty())
        return true;
    for (const std::string& entry : SplitAt(list, ',')) {
        const std::optional<UdpDestination> destination = ParseEntry(entry);
        if (!destination)
            return false;
        Endpoint endpoint;
        endpoint.Destination = *destination;
        endpoint.Socket = std::make_unique<QUdpSocket>();
        if (endpoint.Address.setAddress(QString::fromStdString(destination->Host))) {
            endpoint.Socket->bind(endpoint.Address.protocol() == QAbstractSocket::IPv6Protocol
                                      ? QHostAddress::AnyIPv6
                                      : QHostAddress::AnyIPv4,
                                  0);
        } else {
            // A name: looked up on the side; the socket binds at its first
            // datagram, for the address family the name gives.
            endpoint.NameLookup = std::make_shared<Lookup>();
            StartLookup(endpoint);
        }
        Endpoints.push_back(std::move(endpoint));
    }
    return true;
}

void UdpTargets::Fail(Endpoint& endpoint)
{
    ++Failed;
    endpoint.FailedSinceLookup = true;
    if (OnSendFailure)
        OnSendFailure(endpoint.Destination);
}

void UdpTargets::SendUdp(std::string_view block)
{
    if (Endpoints.empty()) {
        // An empty list opens nothing, yet the output is on: every message
        // shows as a failure, so that the user sees nothing is sent.
        ++Failed;
        if (OnSendFailure)
            OnSendFailure({});
        return;
    }
    std::optional<bool> alive;  // asked only when a destination needs it
    for (Endpoint& endpoint : Endpoints) {
        const QHostAddress address = CurrentAddress(endpoint);
        if (address.isNull()) {
            Fail(endpoint);
            continue;
        }
        if (!address.isLoopback()) {
            if (!alive)
                alive = NetworkAlive();
            if (!*alive) {
                Fail(endpoint);
                continue;
            }
        }
        const qint64 sent = endpoint.Socket->writeDatagram(
            block.data(), static_cast<qint64>(block.size()), address,
            static_cast<quint16>(endpoint.Destination.Port));
        if (sent != static_cast<qint64>(block.size()))
            Fail(endpoint);
        else
            ++Sent;
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
