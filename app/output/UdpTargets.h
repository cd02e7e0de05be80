// UDP output: every SentenceBlock as one datagram to each destination of a
// "host:port,host:port" list, in list order. Host names are looked up off
// the caller's thread, so that a slow or dead name server never holds up
// reception: until a name has an address, sending to it fails.
#pragma once

#include "output/HostLookup.h"

#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <asio/ip/udp.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
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
    // connection; by default NetworkIsUp. resolver looks names up (on a
    // thread of its own); by default the system's. Of a name's addresses,
    // an IPv4 one is preferred.
    explicit UdpTargets(std::function<bool()> networkAlive = {}, HostResolver resolver = {});

    // Opens one endpoint per destination, in list order, each bound to a free
    // local port; a host name's lookup starts here and runs on. False at the
    // first invalid entry; the endpoints of the entries before it stay open
    // until CloseUdpTargets.
    bool OpenUdpTargets(std::string_view list);
    // Sends the block as one datagram to every endpoint, in order, without
    // waiting (on the caller's thread, as every call here). Each
    // failure calls the failure handler and the next endpoint is still
    // served. Without a network, loopback destinations are still sent to.
    // A name is looked up again every ten minutes, and after a failed send
    // (at most every ten seconds).
    void SendUdp(std::string_view block);
    void CloseUdpTargets();

    // Set by the caller: true after a successful open, cleared at close.
    bool UdpActive = false;
    // Called once per failed send (the window turns the list red).
    std::function<void(const UdpDestination&)> OnSendFailure;

    size_t EndpointCount() const { return Endpoints.size(); }
    // Datagrams sent and failed since the open.
    int64_t Sent = 0;
    int64_t Failed = 0;

    static constexpr std::chrono::minutes LookupInterval{10};
    static constexpr std::chrono::seconds RetryInterval{10};

private:
    // A name's address, written by its lookup thread; the thread may
    // outlive the endpoint (a name server that never answers).
    struct Lookup {
        std::mutex Lock;
        std::optional<asio::ip::address> Address;
        bool Running = false;
        std::chrono::steady_clock::time_point Started;
    };
    struct Endpoint {
        UdpDestination Destination;
        std::optional<asio::ip::address> Address;  // a dotted address, or the name's as last seen
        std::shared_ptr<Lookup> NameLookup;        // for a host name only
        bool FailedSinceLookup = false;
        // Bound to a free local port, for the family of the address in use.
        std::unique_ptr<asio::ip::udp::socket> Socket;
        bool SocketIsV6 = false;
    };
    void Fail(Endpoint& endpoint);
    void StartLookup(Endpoint& endpoint);
    std::optional<asio::ip::address> CurrentAddress(Endpoint& endpoint);
    bool OpenSocket(Endpoint& endpoint, const asio::ip::address& to);

    std::function<bool()> NetworkAlive;
    HostResolver Resolver;
    asio::io_context Io;  // for the sockets, which are used synchronously only
    std::vector<Endpoint> Endpoints;
};

}  // namespace kelvane
