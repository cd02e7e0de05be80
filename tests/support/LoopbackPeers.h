// Peers on the loopback for the network outputs' tests: a UDP receiver that
// knows which address each datagram was sent to, and a free TCP port.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kelvane::test {

// A TCP port on 127.0.0.1 that nothing listens on (just now).
uint16_t FreeTcpPort();

class UdpReceiver {
public:
    // Bound to the IPv4 address ("0.0.0.0" for all) and a free port.
    explicit UdpReceiver(const std::string& address = "127.0.0.1");
    ~UdpReceiver();
    UdpReceiver(const UdpReceiver&) = delete;
    UdpReceiver& operator=(const UdpReceiver&) = delete;

    uint16_t Port() const { return BoundPort; }
    // Up to count datagrams, waiting for them until the deadline passes:
    // (the address each was sent to, its data).
    std::vector<std::pair<std::string, std::string>> Take(
        size_t count, std::chrono::milliseconds deadline = std::chrono::seconds(10));
    // The data of the datagrams only, one after the other.
    std::string TakeData(size_t count, std::chrono::milliseconds deadline = std::chrono::seconds(10));

private:
    int Fd = -1;
    uint16_t BoundPort = 0;
};

}  // namespace kelvane::test
