#include "output/UdpTargets.h"

#include "output/NetworkState.h"
#include "core/TextFields.h"

#include <asio/error.hpp>

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

// The loopback of either family, an IPv4 one written as IPv6 included.
bool IsLoopback(const asio::ip::address& address)
{
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).is_loopback();
    return address.is_loopback();
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

UdpTargets::UdpTargets(std::function<bool()> networkAlive, HostResolver resolver)
    : NetworkAlive(networkAlive ? std::move(networkAlive) : NetworkIsUp),
      Resolver(resolver ? std::move(resolver) : SystemResolver)
{
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
    LookUpDetached(Resolver, endpoint.Destination.Host, [lookup](std::vector<asio::ip::address> found) {
        const std::optional<asio::ip::address> address = PreferIPv4(found);
        std::lock_guard lock(lookup->Lock);
        if (address)
            lookup->Address = address;
        lookup->Running = false;
    });
}

std::optional<asio::ip::address> UdpTargets::CurrentAddress(Endpoint& endpoint)
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
        asio::error_code notAnAddress;
        const asio::ip::address address = asio::ip::make_address(destination->Host, notAnAddress);
        if (!notAnAddress) {
            endpoint.Address = address;
            OpenSocket(endpoint, address);
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

bool UdpTargets::OpenSocket(Endpoint& endpoint, const asio::ip::address& to)
{
    const asio::ip::udp protocol = to.is_v6() ? asio::ip::udp::v6() : asio::ip::udp::v4();
    if (endpoint.Socket && endpoint.SocketIsV6 == to.is_v6())
        return true;
    auto socket = std::make_unique<asio::ip::udp::socket>(Io);
    asio::error_code error;
    socket->open(protocol, error);
    if (!error)
        socket->bind(asio::ip::udp::endpoint(protocol, 0), error);
    if (!error)
        socket->non_blocking(true, error);  // a full send buffer fails the send
    if (error)
        return false;
    endpoint.Socket = std::move(socket);
    endpoint.SocketIsV6 = to.is_v6();
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
        const std::optional<asio::ip::address> address = CurrentAddress(endpoint);
        if (!address) {
            Fail(endpoint);
            continue;
        }
        if (!IsLoopback(*address)) {
            if (!alive)
                alive = NetworkAlive();
            if (!*alive) {
                Fail(endpoint);
                continue;
            }
        }
        if (!OpenSocket(endpoint, *address)) {
            Fail(endpoint);
            continue;
        }
        asio::error_code error;
        const size_t sent = endpoint.Socket->send_to(
            asio::buffer(block.data(), block.size()),
            asio::ip::udp::endpoint(*address, static_cast<uint16_t>(endpoint.Destination.Port)), 0, error);
        if (error || sent != block.size())
            Fail(endpoint);
        else
            ++Sent;
    }
}

void UdpTargets::CloseUdpTargets()
{
    for (auto it = Endpoints.rbegin(); it != Endpoints.rend(); ++it) {
        asio::error_code ignored;
        if (it->Socket)
            it->Socket->close(ignored);
    }
    Endpoints.clear();
    UdpActive = false;
}

}  // namespace kelvane
