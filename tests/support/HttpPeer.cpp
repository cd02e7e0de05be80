#include "support/HttpPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace kelvane::test {

namespace {

int Connect(uint16_t port, int receiveBuffer)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        throw std::runtime_error("socket");
    if (receiveBuffer > 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& text)
{
    for (size_t sent = 0; sent < text.size();) {
        const ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Reads what is there within ms: >0 bytes, 0 closed, -1 nothing in time.
ssize_t ReadSome(int fd, std::string& into, int ms)
{
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, ms) <= 0)
        return -1;
    char chunk[65536];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n > 0)
        into.append(chunk, static_cast<size_t>(n));
    return n < 0 ? 0 : n;
}

}  // namespace

HttpAnswer HttpExchange(uint16_t port, const std::string& request, int ms)
{
    HttpAnswer answer;
    const int fd = Connect(port, 0);
    if (fd < 0)
        return answer;
    std::string all;
    if (SendAll(fd, request)) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < deadline && ReadSome(fd, all, 200) != 0) {
        }
    }
    close(fd);
    const size_t end = all.find("\r\n\r\n");
    if (all.rfind("HTTP/1.1 ", 0) != 0 || end == std::string::npos)
        return answer;
    answer.Status = std::atoi(all.c_str() + 9);
    answer.Head = all.substr(0, end + 2);
    answer.Body = all.substr(end + 4);
    return answer;
}

HttpAnswer HttpGet(uint16_t port, const std::string& path, int ms)
{
    return HttpExchange(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", ms);
}

EventStream::EventStream(uint16_t port, int receiveBuffer) : Fd(Connect(port, receiveBuffer))
{
    if (Fd >= 0)
        SendAll(Fd, "GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n");
}

EventStream::~EventStream()
{
    if (Fd >= 0)
        close(Fd);
}

bool EventStream::Fill(int ms) { return Fd >= 0 && ReadSome(Fd, Buffer, ms) > 0; }

ServerEvent EventStream::Next(int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (!HeadRead) {
            if (const size_t end = Buffer.find("\r\n\r\n"); end != std::string::npos) {
                ResponseHead = Buffer.substr(0, end + 2);
                Buffer.erase(0, end + 4);
                HeadRead = true;
            }
        }
        while (HeadRead) {
            const size_t end = Buffer.find("\n\n");
            if (end == std::string::npos)
                break;
            const std::string block = Buffer.substr(0, end);
            Buffer.erase(0, end + 2);
            ServerEvent event;
            size_t at = 0;
            while (at < block.size()) {
                const size_t stop = std::min(block.find('\n', at), block.size());
                const std::string line = block.substr(at, stop - at);
                if (line.rfind("event: ", 0) == 0)
                    event.Name = line.substr(7);
                else if (line.rfind("data: ", 0) == 0)
                    event.Data += line.substr(6);
                at = stop + 1;
            }
            if (!event.Name.empty())
                return event;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Fill(static_cast<int>(left.count())))
            return {};
    }
}

bool EventStream::ClosedByServer(int ms)
{
    if (Fd < 0)
        return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string ignored;
        const ssize_t n = ReadSome(Fd, ignored, 100);
        if (n == 0)
            return true;
    }
    return false;
}

uint16_t WebViewPort(const std::string& errorText)
{
    const std::string mark = "web view on http://127.0.0.1:";
    const size_t at = errorText.find(mark);
    return at == std::string::npos ? 0 : static_cast<uint16_t>(std::atoi(errorText.c_str() + at + mark.size()));
}

}  // namespace kelvane::test
