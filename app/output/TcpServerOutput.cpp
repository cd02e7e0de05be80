#include "output/TcpServerOutput.h"

#include "output/TcpStream.h"
#include "core/TextFields.h"

#include <asio/error.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/ip/v6_only.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <future>
#include <vector>

namespace kelvane {

namespace {

// The kernel's share of a slow client's queue, kept small so that the
// bound on what waits is ours.
constexpr int SocketSendBuffer = 64 * 1024;

// After a failed accept (out of descriptors, say), the next try.
constexpr std::chrono::milliseconds AcceptRetry{100};

// How long the clients have, together, to take what waits at a close.
constexpr std::chrono::seconds CloseGrace{1};

using asio::ip::tcp;

// Binds and listens; on failure the acceptor is left closed.
asio::error_code Listen(tcp::acceptor& acceptor, const tcp::endpoint& where, bool dualStack)
{
    asio::error_code error;
    acceptor.open(where.protocol(), error);
    if (error)
        return error;
#ifndef _WIN32
    // A restarted program gets its port back while old connections linger.
    acceptor.set_option(tcp::acceptor::reuse_address(true), error);
#endif
    if (dualStack)
        acceptor.set_option(asio::ip::v6_only(false), error);
    error.clear();
    acceptor.bind(where, error);
    if (!error)
        acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        asio::error_code ignored;
        acceptor.close(ignored);
    }
    return error;
}

}  // namespace

std::optional<ListenAddress> ParseListenAddress(std::string_view text)
{
    const std::string trimmed = TrimSpaces(text);
    std::string address;
    std::string port = trimmed;
    if (const size_t colon = trimmed.rfind(':'); colon != std::string::npos) {
        address = trimmed.substr(0, colon);
        port = trimmed.substr(colon + 1);
        if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
        else if (address.find(':') != std::string::npos)
            return std::nullopt;  // an IPv6 address needs its brackets
    }
    int value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
        return std::nullopt;
    ListenAddress result;
    result.Port = static_cast<uint16_t>(value);
    if (!address.empty()) {
        asio::error_code invalid;
        result.Address = asio::ip::make_address(address, invalid);
        if (invalid)
            return std::nullopt;
    }
    return result;
}

// The listening socket and its clients, on the network thread. Completions
// that arrive after the close find Owner null and do nothing.
struct TcpServerOutput::Listener : std::enable_shared_from_this<Listener> {
    Listener(asio::io_context& io, TcpServerOutput& owner) : Acceptor(io), Retry(io), Owner(&owner) {}

    void Accept()
    {
        Acceptor.async_accept([self = shared_from_this()](const asio::error_code& error, tcp::socket socket) {
            self->Accepted(error, std::move(socket));
        });
    }

    void Accepted(const asio::error_code& error, tcp::socket socket)
    {
        if (Owner == nullptr || Closing || error == asio::error::operation_aborted)
            return;
        if (error) {
            Retry.expires_after(AcceptRetry);
            Retry.async_wait([self = shared_from_this()](const asio::error_code& stopped) {
                if (!stopped && self->Owner != nullptr && !self->Closing)
                    self->Accept();
            });
            return;
        }
        Accept();
        auto client = std::make_shared<TcpStream>(std::move(socket));
        if (Clients.size() >= static_cast<size_t>(MaxClients)) {
            ++Owner->ClientsRefused;
            Event(client->Peer() + " refused: " + std::to_string(MaxClients) + " clients already");
            client->Abort();
            return;
        }
        asio::error_code ignored;
        client->Socket().set_option(asio::socket_base::send_buffer_size(SocketSendBuffer), ignored);
        Clients.push_back(client);
        Owner->Clients = Clients.size();
        ++Owner->ClientsServed;
        client->Start([self = shared_from_this(), weak = std::weak_ptr<TcpStream>(client)](const asio::error_code&) {
            if (const auto gone = weak.lock())
                self->Forget(gone, "disconnected");
        });
        Event(client->Peer() + " connected");
    }

    void Deliver(const TcpStream::Block& block)
    {
        if (Owner == nullptr)
            return;
        bool sent = false;
        for (const std::shared_ptr<TcpStream>& client : std::vector(Clients)) {
            if (!client->Write(block, MaxQueueBytes)) {
                ++Owner->ClientsDropped;
                Forget(client, "dropped: it did not read");
                continue;
            }
            sent = sent || client->IsOpen();
        }
        if (sent)
            ++Owner->BlocksSent;
    }

    void Forget(const std::shared_ptr<TcpStream>& client, const std::string& why)
    {
        const auto found = std::find(Clients.begin(), Clients.end(), client);
        if (Owner == nullptr || found == Clients.end())
            return;
        Clients.erase(found);
        Owner->Clients = Clients.size();
        client->Abort();
        Event(client->Peer() + " " + why);
    }

    void Event(const std::string& text)
    {
        if (Owner->OnClientEvent)
            Owner->OnClientEvent(text);
    }

    // Stops listening; each client is closed once it has taken what waits,
    // and all closed sets the promise.
    void BeginClose(const std::shared_ptr<std::promise<void>>& allClosed)
    {
        Closing = true;
        asio::error_code ignored;
        Acceptor.close(ignored);
        Retry.cancel();
        auto left = std::make_shared<size_t>(Clients.size());
        if (*left == 0)
            allClosed->set_value();
        for (const std::shared_ptr<TcpStream>& client : Clients)
            client->CloseWhenWritten([left, allClosed] {
                if (--*left == 0)
                    allClosed->set_value();
            });
    }

    void Finish()
    {
        for (const std::shared_ptr<TcpStream>& client : Clients)
            client->Abort();
        Clients.clear();
        Owner->Clients = 0;
        Owner = nullptr;
    }

    tcp::acceptor Acceptor;
    asio::steady_timer Retry;
    TcpServerOutput* Owner;
    bool Closing = false;
    std::vector<std::shared_ptr<TcpStream>> Clients;
};

TcpServerOutput::TcpServerOutput(NetworkThread& network) : Network(network) {}

TcpServerOutput::~TcpServerOutput() { Close(); }

std::string TcpServerOutput::Open(std::string_view addressText)
{
    Close();
    BlocksSent = ClientsServed = ClientsDropped = ClientsRefused = 0;
    const std::optional<ListenAddress> where = ParseListenAddress(addressText);
    if (!where)
        return "Invalid TCP server address " + std::string(addressText) + "! Give a port, or ADDRESS:PORT.";
    auto listener = std::make_shared<Listener>(Network.Context(), *this);
    asio::error_code error;
    Network.Run([&] {
        if (where->Address) {
            error = Listen(listener->Acceptor, tcp::endpoint(*where->Address, where->Port), false);
        } else {
            // Every address: IPv6 and IPv4 on one socket, or IPv4 alone
            // where the system has no IPv6.
            error = Listen(listener->Acceptor, tcp::endpoint(tcp::v6(), where->Port), true);
            if (error && error != asio::error::address_in_use && error != asio::error::access_denied)
                error = Listen(listener->Acceptor, tcp::endpoint(tcp::v4(), where->Port), false);
        }
        if (error)
            listener.reset();  // released here, on its thread
        else
            listener->Accept();
    });
    if (!listener)
        return "Unable to listen on TCP " + std::string(TrimSpaces(addressText)) + "! " + SocketErrorText(error);
    Current = std::move(listener);
    return {};
}

void TcpServerOutput::Send(std::string_view block)
{
    if (!Current)
        return;
    asio::post(Network.Context(), [listener = Current, copy = std::make_shared<const std::string>(block)] {
        listener->Deliver(copy);
    });
}

void TcpServerOutput::Close()
{
    if (!Current)
        return;
    std::shared_ptr<Listener> listener = std::move(Current);
    Current = nullptr;
    auto allClosed = std::make_shared<std::promise<void>>();
    std::future<void> closed = allClosed->get_future();
    Network.Run([&] { listener->BeginClose(allClosed); });
    closed.wait_for(CloseGrace);
    Network.Run([&] {
        listener->Finish();
        // Released on its own thread, once late completions have run.
        asio::post(Network.Context(), [last = std::move(listener)] {});
    });
}

}  // namespace kelvane
