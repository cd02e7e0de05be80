// The TCP server output: chart programs on tablets and PCs (OpenCPN and
// others) connect as clients, and every client receives every SentenceBlock
// from the moment it connected, in order. Nothing here ever waits for a
// client: a client that stops reading has a bounded queue and is then
// disconnected, and what clients send is read and thrown away.
//
// The connections live on a NetworkThread, so clients are accepted and
// served while the caller decodes or waits. Open, Send, Close and IsOpen are
// for one caller's thread; ClientCount and the counters may be read from any
// thread, and are final once Close has returned.
#pragma once

#include "output/NetworkThread.h"

#include <asio/ip/address.hpp>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

struct ListenAddress {
    std::optional<asio::ip::address> Address;  // none: every address, IPv4 and IPv6
    uint16_t Port = 0;
};

// "[ADDRESS:]PORT": a port from 1 to 65535, after an IPv4 address or an
// IPv6 one in brackets ("[::1]:10110"); spaces around it ignored.
std::optional<ListenAddress> ParseListenAddress(std::string_view text);

class TcpServerOutput {
public:
    static constexpr int MaxClients = 64;
    // What a client that does not read may have waiting before it is let go.
    static constexpr size_t MaxQueueBytes = 1 << 20;

    explicit TcpServerOutput(NetworkThread& network);
    ~TcpServerOutput();
    TcpServerOutput(const TcpServerOutput&) = delete;
    TcpServerOutput& operator=(const TcpServerOutput&) = delete;

    // Listens; "" or the message for the user, naming the address.
    std::string Open(std::string_view addressText);
    // Hands the block to every client; returns at once.
    void Send(std::string_view block);
    // Gives the clients a second in all to take what they have waiting, then
    // closes every connection and stops listening.
    void Close();
    bool IsOpen() const { return Current != nullptr; }

    size_t ClientCount() const { return Clients; }
    // A client came or went: "127.0.0.1:50432 connected", and so on. Called
    // on the network thread; set it before Open.
    std::function<void(const std::string&)> OnClientEvent;

    // Since Open.
    std::atomic<int64_t> BlocksSent{0};      // blocks written to at least one client
    std::atomic<int64_t> ClientsServed{0};
    std::atomic<int64_t> ClientsDropped{0};  // let go for not reading
    std::atomic<int64_t> ClientsRefused{0};  // beyond MaxClients

private:
    struct Listener;

    NetworkThread& Network;
    std::shared_ptr<Listener> Current;  // while open
    std::atomic<size_t> Clients{0};
};

}  // namespace kelvane
