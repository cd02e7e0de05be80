// Real peers of the network outputs on the loopback, without any toolkit: a
// UDP listener, a TCP client that reads, a TCP listener that accepts one
// connection. Every wait has a deadline.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane::test {

class UdpListener {
public:
    UdpListener();  // bound to 127.0.0.1 on a free port
    ~UdpListener();
    UdpListener(const UdpListener&) = delete;
    UdpListener& operator=(const UdpListener&) = delete;
    uint16_t Port() const { return BoundPort; }
    // Datagrams until count came or ms passed without one.
    std::vector<std::string> Take(size_t count, int ms = 5000);

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

// A TCP port on the loopback that nothing listens on right now.
uint16_t FreeTcpPort();

}  // namespace kelvane::test
