#include "support/LoopbackPeers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

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


uint16_t FreeTcpPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size) != 0)
        throw std::runtime_error("no free TCP port");
    close(fd);
    return ntohs(at.sin_port);
}

UdpReceiver::UdpReceiver(const std::string& address)
{
    Fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(Fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    socklen_t size = sizeof at;
    if (Fd < 0 || inet_pton(AF_INET, address.c_str(), &at.sin_addr) != 1 ||
        bind(Fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        getsockname(Fd, reinterpret_cast<sockaddr*>(&at), &size) != 0)
        throw std::runtime_error("cannot bind a UDP receiver to " + address);
    BoundPort = ntohs(at.sin_port);
}

UdpReceiver::~UdpReceiver() { close(Fd); }

std::vector<std::pair<std::string, std::string>> UdpReceiver::Take(size_t count, std::chrono::milliseconds deadline)
{
    std::vector<std::pair<std::string, std::string>> got;
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd ready{Fd, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(std::max<int64_t>(left.count(), 0))) <= 0)
            break;
        char data[65536];
        char control[256];
        iovec piece{data, sizeof data};
        msghdr message{};
        message.msg_iov = &piece;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t size = recvmsg(Fd, &message, 0);
        if (size < 0)
            break;
        std::string to;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                const auto* info = reinterpret_cast<const in_pktinfo*>(CMSG_DATA(c));
                char text[INET_ADDRSTRLEN] = {};
                inet_ntop(AF_INET, &info->ipi_addr, text, sizeof text);
                to = text;
            }
        }
        got.emplace_back(to, std::string(data, static_cast<size_t>(size)));
    }
    return got;
}

std::string UdpReceiver::TakeData(size_t count, std::chrono::milliseconds deadline)
{
    std::string all;
    for (const auto& [to, data] : Take(count, deadline))
        all += data;
    return all;
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

}  // namespace kelvane::test
