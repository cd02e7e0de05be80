#include "LoopbackPeers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace kelvane::test {

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

}  // namespace kelvane::test
