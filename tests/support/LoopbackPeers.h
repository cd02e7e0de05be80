// Real peers of the network outputs on the loopback, without any toolkit: a
// UDP receiver that knows which address each datagram was sent to, a TCP
// client that reads, a TCP listener that accepts one connection, a free TCP
// port. Every wait has a deadline.
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

// A TCP connection to 127.0.0.1:port that reads what the server sends.
class TcpReader {
public:
    explicit TcpReader(uint16_t port);
    ~TcpReader();
    TcpReader(const TcpReader&) = delete;
    TcpReader& operator=(const TcpReader&) = delete;
    bool Connected() const { return Fd >= 0; }
    // Reads until count bytes came, the peer closed, or ms passed without
    // data.
    std::string Read(size_t count, int ms = 5000);

private:
    int Fd = -1;
};

// Listens on 127.0.0.1 on a free port and takes one connection.
class TcpListener {
public:
    TcpListener();
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;
    uint16_t Port() const { return BoundPort; }
    // Waits up to ms for the connection; true once there is one.
    bool Accept(int ms = 10000);
    std::string Read(size_t count, int ms = 5000);

private:
    int Fd = -1;
    int Peer = -1;
    uint16_t BoundPort = 0;
};

}  // namespace kelvane::test
