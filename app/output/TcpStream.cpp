#include "output/TcpStream.h"

#include <asio/error.hpp>
#include <asio/write.hpp>

#include <system_error>
#include <utility>

namespace kelvane {

namespace {

// A gather write takes at most this many blocks at once.
constexpr size_t PiecesPerWrite = 64;

}  // namespace

std::string SocketErrorText(const asio::error_code& error)
{
    // The texts users knew from earlier versions, where they mean the same.
    if (error == asio::error::eof || error == asio::error::connection_reset)
        return "The remote host closed the connection";
    if (error == asio::error::connection_refused)
        return "Connection refused";
    if (error == asio::error::host_not_found || error == asio::error::host_not_found_try_again)
        return "Host not found";
    if (error == asio::error::address_in_use)
        return "The bound address is already in use";
    if (error == asio::error::access_denied || error == asio::error::no_permission)
        return "The address is protected";
    if (error == std::errc::address_not_available)
        return "The address is not available";
    return error.message();
}

std::string EndpointText(const asio::ip::tcp::endpoint& endpoint)
{
    asio::ip::address address = endpoint.address();
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
    return address.to_string() + ":" + std::to_string(endpoint.port());
}

TcpStream::TcpStream(asio::ip::tcp::socket socket) : Connection(std::move(socket))
{
    asio::error_code error;
    const asio::ip::tcp::endpoint peer = Connection.remote_endpoint(error);
    PeerText = error ? std::string("?") : EndpointText(peer);
    // Writes take what the socket takes now, without waiting for room.
    Connection.non_blocking(true, error);
}

void TcpStream::Start(std::function<void(const asio::error_code&)> lost)
{
    Lost = std::move(lost);
    Read();
}

void TcpStream::Read()
{
    Connection.async_read_some(asio::buffer(Discard),
                               [self = shared_from_this()](const asio::error_code& error, size_t) {
                                   if (error == asio::error::operation_aborted || !self->IsOpen())
                                       return;
                                   if (error) {
                                       // A peer that stops sending while
                                       // we close still gets what waits.
                                       if (!(self->Closing && error == asio::error::eof))
                                           self->Fail(error);
                                       return;
                                   }
                                   self->Read();
                               });
}

bool TcpStream::Write(const Block& block, size_t limit)
{
    if (!IsOpen() || Closing)
        return true;  // gone or going: a report follows or was given
    if (Waiting + block->size() > limit)
        return false;
    Queue.push_back(block);
    Waiting += block->size();
    Flush();
    return true;
}

void TcpStream::Consume(size_t bytes)
{
    Waiting -= bytes;
    while (bytes > 0) {
        const size_t left = Queue.front()->size() - Offset;
        if (bytes < left) {
            Offset += bytes;
            return;
        }
        bytes -= left;
        Queue.pop_front();
        Offset = 0;
    }
}

void TcpStream::Flush()
{
    if (Writing || !IsOpen())
        return;
    while (!Queue.empty()) {
        Pieces.clear();
        for (size_t i = 0; i < Queue.size() && i < PiecesPerWrite; ++i)
            Pieces.push_back(asio::buffer(*Queue[i]) + (i == 0 ? Offset : 0));
        asio::error_code error;
        const size_t taken = Connection.write_some(Pieces, error);
        if (error == asio::error::would_block || error == asio::error::try_again)
            break;
        if (error) {
            Fail(error);
            return;
        }
        Consume(taken);
    }
    if (Queue.empty()) {
        if (Closing)
            Shut();
        return;
    }
    // The socket is full: the rest goes when it has room.
    Writing = true;
    Connection.async_write_some(Pieces, [self = shared_from_this()](const asio::error_code& error, size_t taken) {
        self->Writing = false;
        if (error == asio::error::operation_aborted || !self->IsOpen())
            return;
        if (error) {
            self->Fail(error);
            return;
        }
        self->Consume(taken);
        self->Flush();
    });
}

void TcpStream::Fail(const asio::error_code& error)
{
    auto lost = std::exchange(Lost, nullptr);
    Shut();
    if (lost)
        lost(error);
}

void TcpStream::CloseWhenWritten(std::function<void()> closed)
{
    Lost = nullptr;
    Closed = std::move(closed);
    Closing = true;
    if (!IsOpen() || (Queue.empty() && !Writing))
        Shut();
}

void TcpStream::Abort()
{
    Lost = nullptr;
    Shut();
}

void TcpStream::Shut()
{
    asio::error_code ignored;
    if (Connection.is_open()) {
        Connection.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        Connection.close(ignored);
    }
    Queue.clear();
    Offset = Waiting = 0;
    if (auto closed = std::exchange(Closed, nullptr))
        closed();
}

}  // namespace kelvane
