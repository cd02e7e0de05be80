#include "support/LoopbackPeers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvane::test {

namespace {

sockaddr_in Loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

uint16_t BoundTo(int fd)
{
    sockaddr_in a{};
    socklen_t size = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    return ntohs(a.sin_port);
}

bool Readable(int fd, int ms)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) == 1;
}

std::string ReadStream(int fd, size_t count, int ms)
{
    std::string got;
    char buffer[65536];
    while (fd >= 0 && got.size() < count && Readable(fd, ms)) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

}  // namespace

UdpListener::UdpListener()
{
    Fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = Loopback(0);
    ::bind(Fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    BoundPort = BoundTo(Fd);
}

UdpListener::~UdpListener() { ::close(Fd); }

std::vector<std::string> UdpListener::Take(size_t count, int ms)
{
    std::vector<std::string> got;
    char buffer[65536];
    while (got.size() < count && Readable(Fd, ms)) {
        const ssize_t n = ::recv(Fd, buffer, sizeof buffer, 0);
        if (n < 0)
            break;
        got.emplace_back(buffer, static_cast<size_t>(n));
    }
    return got;
}

TcpReader::TcpReader(uint16_t port)
{
    Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = Loopback(port);
    if (::connect(Fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        ::close(Fd);
        Fd = -1;
    }
}

TcpReader::~TcpReader()
{
    if (Fd >= 0)
        ::close(Fd);
}

std::string TcpReader::Read(size_t count, int ms) { return ReadStream(Fd, count, ms); }

TcpListener::TcpListener()
{
    Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(Fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in a = Loopback(0);
    ::bind(Fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    ::listen(Fd, 4);
    BoundPort = BoundTo(Fd);
}

TcpListener::~TcpListener()
{
    if (Peer >= 0)
        ::close(Peer);
    ::close(Fd);
}

bool TcpListener::Accept(int ms)
{
    if (Peer < 0 && Readable(Fd, ms))
        Peer = ::accept4(Fd, nullptr, nullptr, SOCK_CLOEXEC);
    return Peer >= 0;
}

std::string TcpListener::Read(size_t count, int ms) { return ReadStream(Peer, count, ms); }

uint16_t FreeTcpPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = Loopback(0);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    const uint16_t port = BoundTo(fd);
    ::close(fd);
    return port;
}

}  // namespace kelvane::test
