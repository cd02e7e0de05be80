// The TCP server output: chart programs on tablets and PCs (OpenCPN and
// others) connect as clients, and every client receives every SentenceBlock
// from the moment it connected, in order. Nothing here ever waits for a
// client: a client that stops reading has a bounded queue and is then
// disconnected, and what clients send is read and thrown away.
#pragma once

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

struct ListenAddress {
    QHostAddress Address;  // Any when only a port is given
    uint16_t Port = 0;
};

// "[ADDRESS:]PORT": a port from 1 to 65535, after an IPv4 address or an
// IPv6 one in brackets ("[::1]:10110"); spaces around it ignored.
std::optional<ListenAddress> ParseListenAddress(std::string_view text);

class TcpServerOutput {
public:
    static constexpr int MaxClients = 64;
    // What a client that does not read may have waiting before it is let go.
    static constexpr qint64 MaxQueueBytes = 1 << 20;

    TcpServerOutput();
    ~TcpServerOutput();
    TcpServerOutput(const TcpServerOutput&) = delete;
    TcpServerOutput& operator=(const TcpServerOutput&) = delete;

    // Listens; "" or the message for the user, naming the address.
    std::string Open(std::string_view addressText);
    void Send(std::string_view block);
    // Gives each client a moment to take what it has waiting, then closes
    // every connection and stops listening.
    void Close();
    bool IsOpen() const { return Server.isListening(); }

    size_t ClientCount() const { return Clients.size(); }
    // A client came or went: "127.0.0.1:50432 connected", and so on.
    std::function<void(const std::string&)> OnClientEvent;

    // Since Open.
    int64_t BlocksSent = 0;       // blocks written to at least one client
    int64_t ClientsServed = 0;
    int64_t ClientsDropped = 0;   // let go for not reading
    int64_t ClientsRefused = 0;   // beyond MaxClients

private:
    void Accept();
    void Forget(QTcpSocket* socket, const std::string& why);

    QTcpServer Server;
    std::vector<QTcpSocket*> Clients;  // owned; deleted later by Qt
};

}  // namespace kelvane
