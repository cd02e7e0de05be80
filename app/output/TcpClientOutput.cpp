#include "output/TcpClientOutput.h"

#include "output/TcpServerOutput.h"
#include "output/TcpStream.h"
#include "core/TextFields.h"

#include <asio/connect.hpp>
#include <asio/error.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

#include <algorithm>
#include <chrono>
#include <future>
#include <utility>
#include <vector>

namespace kelvane {

namespace {

using asio::ip::tcp;

constexpr std::chrono::seconds CloseGrace{1};

}  // namespace

std::optional<TcpTarget> ParseTcpTarget(std::string_view text)
{
    const std::string trimmed = TrimSpaces(text);
    const size_t colon = trimmed.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return std::nullopt;
    // The port rules are the server's; the host may also be a name.
    const std::optional<ListenAddress> port = ParseListenAddress(trimmed.substr(colon));
    if (!port)
        return std::nullopt;
    std::string host = TrimSpaces(trimmed.substr(0, colon));
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    else if (host.find(':') != std::string::npos)
        return std::nullopt;
    if (host.empty() || host.find(' ') != std::string::npos)
        return std::nullopt;
    return TcpTarget{host, port->Port};
}

// The connection and its retries, on the network thread. Completions that
// arrive after the close find Owner null and do nothing.
struct TcpClientOutput::Link : std::enable_shared_from_this<Link> {
    Link(asio::io_context& io, TcpClientOutput& owner, TcpTarget target, NetworkThread::Poster poster)
        : Io(io), Retry(io), Owner(&owner), Target(std::move(target)), Post(std::move(poster))
    {
    }

    void Connect()
    {
        if (Owner == nullptr || Closing)
            return;
        asio::error_code notAnAddress;
        const asio::ip::address address = asio::ip::make_address(Target.Host, notAnAddress);
        if (!notAnAddress) {
            ConnectTo({address});
            return;
        }
        // Looked up aside: a name server that never answers holds up
        // neither the network thread nor the close.
        // It holds no more than a weak hold on the link, so that the link
        // always ends on the network thread.
        LookUpDetached(Owner->Resolver, Target.Host,
                       [weak = weak_from_this(), post = Post](std::vector<asio::ip::address> found) {
                           post([weak, found = std::move(found)] {
                               const std::shared_ptr<Link> self = weak.lock();
                               if (!self)
                                   return;
                               if (found.empty())
                                   self->Failed("Host not found");
                               else
                                   self->ConnectTo(found);
                           });
                       });
    }

    void ConnectTo(const std::vector<asio::ip::address>& addresses)
    {
        if (Owner == nullptr || Closing)
            return;
        std::vector<tcp::endpoint> endpoints;
        for (const asio::ip::address& address : addresses)
            endpoints.emplace_back(address, Target.Port);
        Pending = std::make_shared<tcp::socket>(Io);
        asio::async_connect(*Pending, endpoints,
                            [self = shared_from_this(), socket = Pending](const asio::error_code& error,
                                                                          const tcp::endpoint&) {
                                if (self->Pending == socket)
                                    self->Pending.reset();
                                if (self->Owner == nullptr || self->Closing || error == asio::error::operation_aborted)
                                    return;
                                if (error)
                                    self->Failed(SocketErrorText(error));
                                else
                                    self->Up(std::move(*socket));
                            });
    }

    void Up(tcp::socket socket)
    {
        asio::error_code ignored;
        // A dead peer behind a router that restarted shows up in time.
        socket.set_option(asio::socket_base::keep_alive(true), ignored);
        Stream = std::make_shared<TcpStream>(std::move(socket));
        Stream->Start([self = shared_from_this(), weak = std::weak_ptr<TcpStream>(Stream)](const asio::error_code& error) {
            if (weak.lock() == self->Stream)
                self->Lost(SocketErrorText(error));
        });
        RetryMs = FirstRetryMs;
        Owner->IsConnected = true;
        if (std::exchange(EverConnected, true))
            ++Owner->Reconnects;
        if (Owner->OnStateChange)
            Owner->OnStateChange(true, "connected");
    }

    void Lost(const std::string& why)
    {
        if (Owner == nullptr || Closing)
            return;
        Owner->IsConnected = false;
        const std::shared_ptr<TcpStream> gone = std::move(Stream);
        Failed(why);
        gone->Abort();
    }

    void Failed(const std::string& why)
    {
        if (Owner == nullptr || Closing || RetryPending)
            return;
        if (Owner->OnStateChange)
            Owner->OnStateChange(false, why);
        RetryPending = true;
        Retry.expires_after(std::chrono::milliseconds(RetryMs));
        Retry.async_wait([self = shared_from_this()](const asio::error_code& stopped) {
            if (stopped)
                return;
            self->RetryPending = false;
            self->Connect();
        });
        RetryMs = std::min(2 * RetryMs, LastRetryMs);
    }

    void Deliver(const TcpStream::Block& block)
    {
        if (Owner == nullptr || Closing)
            return;
        if (!Stream) {
            ++Owner->BlocksDropped;
            return;
        }
        const std::shared_ptr<TcpStream> stream = Stream;  // held while it reports
        if (!stream->Write(block, MaxQueueBytes)) {
            // A peer that takes nothing is as good as gone: start afresh.
            ++Owner->BlocksDropped;
            Lost("the peer did not read");
            return;
        }
        ++Owner->BlocksSent;
    }

    void BeginClose(const std::shared_ptr<std::promise<void>>& closed)
    {
        Closing = true;
        Retry.cancel();
        if (Pending) {
            asio::error_code ignored;
            Pending->close(ignored);
        }
        if (Stream)
            Stream->CloseWhenWritten([closed] { closed->set_value(); });
        else
            closed->set_value();
    }

    void Finish()
    {
        if (Stream)
            Stream->Abort();
        Stream.reset();
        Owner->IsConnected = false;
        Owner = nullptr;
    }

    asio::io_context& Io;
    asio::steady_timer Retry;
    TcpClientOutput* Owner;
    TcpTarget Target;
    NetworkThread::Poster Post;
    std::shared_ptr<tcp::socket> Pending;  // connecting
    std::shared_ptr<TcpStream> Stream;     // connected
    bool Closing = false;
    bool RetryPending = false;
    bool EverConnected = false;
    int RetryMs = FirstRetryMs;
};

TcpClientOutput::TcpClientOutput(NetworkThread& network, HostResolver resolver)
    : Network(network), Resolver(resolver ? std::move(resolver) : SystemResolver)
{
}

TcpClientOutput::~TcpClientOutput() { Close(); }

std::string TcpClientOutput::Open(std::string_view targetText)
{
    Close();
    BlocksSent = BlocksDropped = Reconnects = 0;
    const std::optional<TcpTarget> target = ParseTcpTarget(targetText);
    if (!target)
        return "Invalid TCP target " + std::string(targetText) + "! Give HOST:PORT.";
    Current = std::make_shared<Link>(Network.Context(), *this, *target, Network.MakePoster());
    asio::post(Network.Context(), [link = Current] { link->Connect(); });
    return {};
}

void TcpClientOutput::Send(std::string_view block)
{
    if (!Current)
        return;
    if (!IsConnected) {
        ++BlocksDropped;
        return;
    }
    asio::post(Network.Context(), [link = Current, copy = std::make_shared<const std::string>(block)] {
        link->Deliver(copy);
    });
}

void TcpClientOutput::Close()
{
    if (!Current)
        return;
    std::shared_ptr<Link> link = std::move(Current);
    Current = nullptr;
    auto closed = std::make_shared<std::promise<void>>();
    std::future<void> written = closed->get_future();
    Network.Run([&] { link->BeginClose(closed); });
    written.wait_for(CloseGrace);
    Network.Run([&] {
        link->Finish();
        // Released on its own thread, once late completions have run.
        asio::post(Network.Context(), [last = std::move(link)] {});
    });
}

}  // namespace kelvane
