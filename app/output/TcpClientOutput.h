// The TCP client output ("Push to"): Kelvane connects to an aggregator or a
// plotter that listens, and keeps connecting: after any failure it tries
// again after 1 s, then 2, 4, ... up to a minute between tries. Blocks made
// while it is not connected are dropped and counted; nothing waits for the
// peer.
//
// The connection lives on a NetworkThread. Open, Send, Close and IsOpen are
// for one caller's thread; Connected and the counters may be read from any
// thread, and are final once Close has returned.
#pragma once

#include "output/HostLookup.h"
#include "output/NetworkThread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

struct TcpTarget {
    std::string Host;
    uint16_t Port = 0;
};

// "HOST:PORT", the host a name or an address (IPv6 in brackets), the port
// 1 to 65535.
std::optional<TcpTarget> ParseTcpTarget(std::string_view text);

class TcpClientOutput {
public:
    static constexpr size_t MaxQueueBytes = 1 << 20;
    static constexpr int FirstRetryMs = 1000;
    static constexpr int LastRetryMs = 60000;

    // resolver looks names up, on a thread of its own; by default the
    // system's.
    explicit TcpClientOutput(NetworkThread& network, HostResolver resolver = {});
    ~TcpClientOutput();
    TcpClientOutput(const TcpClientOutput&) = delete;
    TcpClientOutput& operator=(const TcpClientOutput&) = delete;

    // Starts connecting; "" or the message for an invalid target.
    std::string Open(std::string_view targetText);
    // Hands the block to the connection; returns at once.
    void Send(std::string_view block);
    // Gives the peer a second to take what waits, then closes.
    void Close();
    bool IsOpen() const { return Current != nullptr; }
    bool Connected() const { return IsConnected; }

    // Called when the connection comes or goes, on the network thread; set
    // it before Open.
    std::function<void(bool connected, const std::string& why)> OnStateChange;

    // Since Open.
    std::atomic<int64_t> BlocksSent{0};
    std::atomic<int64_t> BlocksDropped{0};
    std::atomic<int64_t> Reconnects{0};

private:
    struct Link;

    NetworkThread& Network;
    HostResolver Resolver;
    std::shared_ptr<Link> Current;  // while open
    std::atomic<bool> IsConnected{false};
};

}  // namespace kelvane
