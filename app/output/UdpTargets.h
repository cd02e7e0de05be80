// UDP output: every SentenceBlock as one datagram to each destination of a
// "host:port,host:port" list, in list order.
#pragma once

#include <QHostAddress>
#include <QUdpSocket>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

struct UdpDestination {
    std::string Host;  // as typed, not checked
    int32_t Port = 0;
};

// The destination list: entries separated by ",", each a host and a port
// separated by ":", spaces around them ignored. A port is a number from 1000
// to 65000 (a fraction rounds to the nearest whole, halves to even). An empty
// text is an empty list; any bad entry, an empty one included, makes the
// whole list invalid.
std::optional<std::vector<UdpDestination>> ParseUdpDestinations(std::string_view text);

class UdpTargets {
public:
    // networkAlive tells whether the computer has a working network
    // connection; by default, any interface up and running that is not the
    // loopback.
    explicit UdpTargets(std::function<bool()> networkAlive = {});

    // Opens one endpoint per destination, in list order, each bound to a free
    // local port. False at the first invalid entry; the endpoints of the
    // entries before it stay open until CloseUdpTargets.
    bool OpenUdpTargets(std::string_view list);
    // Sends the block as one datagram to every endpoint, in order. Each
    // failure calls the failure handler and the next endpoint is still
    // served. Without a network, loopback destinations are still sent to.
    void SendUdp(std::string_view block);
    void CloseUdpTargets();

    // Set by the caller: true after a successful open, cleared at close.
    bool UdpActive = false;
    // Called once per failed send (the window turns the list red).
    std::function<void(const UdpDestination&)> OnSendFailure;

    size_t EndpointCount() const { return Endpoints.size(); }

    static bool AnyNetworkInterfaceUp();

private:
    struct Endpoint {
        UdpDestination Destination;
        QHostAddress Address;  // null when the host did not resolve
        std::unique_ptr<QUdpSocket> Socket;
    };
    void Fail(const UdpDestination& destination);

    std::function<bool()> NetworkAlive;
    std::vector<Endpoint> Endpoints;
};

}  // namespace kelvane
