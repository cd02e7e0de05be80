// One TCP connection of an output that only writes: what the peer sends is
// read and thrown away, what is written waits in a bounded queue, and nothing
// ever waits for the peer. Lives on the network thread: every call is made
// there, and so is every report.
#pragma once

#include <asio/ip/tcp.hpp>

#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kelvane {

// A socket error as the user reads it.
std::string SocketErrorText(const asio::error_code& error);

// "127.0.0.1:50432": an IPv4 peer of a dual-stack listener shows as IPv4.
std::string EndpointText(const asio::ip::tcp::endpoint& endpoint);

class TcpStream : public std::enable_shared_from_this<TcpStream> {
public:
    using Block = std::shared_ptr<const std::string>;

    explicit TcpStream(asio::ip::tcp::socket socket);

    const std::string& Peer() const { return PeerText; }
    asio::ip::tcp::socket& Socket() { return Connection; }
    bool IsOpen() const { return Connection.is_open(); }

    // Starts reading; lost is called once, when the connection fails or the
    // peer closes it, unless the stream was closed first.
    void Start(std::function<void(const asio::error_code&)> lost);
    // Queues the block behind what waits and hands the socket as much as it
    // takes now. False, with nothing queued, when more than limit bytes would
    // then be waiting.
    bool Write(const Block& block, size_t limit);
    // Reports nothing more; closes once everything waiting has been written
    // (at once when nothing waits, or when the connection fails), then calls
    // closed.
    void CloseWhenWritten(std::function<void()> closed);
    // Closes at once; what waits is dropped.
    void Abort();

private:
    void Read();
    void Flush();
    void Consume(size_t bytes);
    void Fail(const asio::error_code& error);
    void Shut();

    asio::ip::tcp::socket Connection;
    std::string PeerText;
    std::deque<Block> Queue;
    size_t Offset = 0;    // of the first block, already taken by the socket
    size_t Waiting = 0;   // bytes queued and not yet taken
    bool Writing = false; // an asynchronous write is under way
    bool Closing = false;
    std::vector<asio::const_buffer> Pieces;
    std::array<char, 4096> Discard{};
    std::function<void(const asio::error_code&)> Lost;
    std::function<void()> Closed;
};

}  // namespace kelvane
