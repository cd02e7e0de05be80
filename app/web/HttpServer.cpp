#include "web/HttpServer.h"

#include <asio/buffer.hpp>
#include <asio/ip/v6_only.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>

#include <array>
#include <deque>
#include <vector>

namespace kelvane {

using asio::ip::tcp;

namespace {

const char* Reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

// What every answer carries: nothing is cached, sniffed or framed, no
// address leaks to a tile server, and a page runs only its own scripts
// (a ship's text that became markup still could not run).
std::string Head(int status, std::string_view contentType, size_t length, bool known)
{
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
    head += "Content-Type: " + std::string(contentType) + "\r\n";
    if (known)
        head += "Content-Length: " + std::to_string(length) + "\r\n";
    head += "Cache-Control: no-cache\r\n"
            "X-Content-Type-Options: nosniff\r\n"
            "X-Frame-Options: DENY\r\n"
            "Referrer-Policy: no-referrer\r\n"
            "Content-Security-Policy: default-src 'self'; img-src 'self' data: https:; "
            "style-src 'self' 'unsafe-inline'; script-src 'self'; connect-src 'self'; "
            "frame-ancestors 'none'\r\n";
    if (status == 405)
        head += "Allow: GET, HEAD\r\n";
    head += "Connection: close\r\n\r\n";
    return head;
}

}  // namespace

std::string ServerSentEvent(std::string_view name, std::string_view data)
{
    std::string event = "event: " + std::string(name) + "\ndata: ";
    // One line: a line end in the data would start a field of its own.
    for (const char c : data)
        event += (c == '\n' || c == '\r') ? ' ' : c;
    return event + "\n\n";
}

// One client's connection. Completions that come after the server closed
// find Server null and only let go.
struct HttpServer::Connection : std::enable_shared_from_this<Connection> {
    Connection(HttpServer& server, tcp::socket socket)
        : Server(&server), Socket(std::move(socket)), Timer(Socket.get_executor())
    {
    }

    void Start()
    {
        Deadline(Server->Limits.RequestTimeout);
        Read();
    }

    void Deadline(std::chrono::milliseconds after)
    {
        Timer.expires_after(after);
        Timer.async_wait([self = shared_from_this()](const asio::error_code& error) {
            if (!error)
                self->Shut();
        });
    }

    void Read()
    {
        Socket.async_read_some(asio::buffer(Chunk), [self = shared_from_this()](const asio::error_code& error,
                                                                                size_t length) {
            self->Received(error, length);
        });
    }

    void Received(const asio::error_code& error, size_t length)
    {
        if (Server == nullptr)
            return;
        if (error) {
            // A stream client that went away, or a request never finished.
            Shut();
            return;
        }
        if (Answered) {
            // A stream's client says nothing more that matters; reading on
            // tells when it leaves.
            Read();
            return;
        }
        Request.append(Chunk.data(), length);
        const size_t end = Request.find("\r\n\r\n");
        if (end == std::string::npos) {
            if (Request.size() > Server->Limits.MaxRequestHead)
                Respond(431, "text/plain", {}, "Request head too large\n", false);
            else
                Read();
            return;
        }
        if (end > Server->Limits.MaxRequestHead) {
            Respond(431, "text/plain", {}, "Request head too large\n", false);
            return;
        }
        ++Server->Requests;
        Route(std::string_view(Request).substr(0, Request.find("\r\n")));
    }

    // "METHOD TARGET HTTP/1.x"
    void Route(std::string_view line)
    {
        const size_t first = line.find(' ');
        const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
        if (second == std::string_view::npos || line.substr(second + 1).rfind("HTTP/1.", 0) != 0 ||
            line.find(' ', second + 1) != std::string_view::npos) {
            Respond(400, "text/plain", {}, "Bad request\n", false);
            return;
        }
        const std::string_view method = line.substr(0, first);
        const std::string_view target = line.substr(first + 1, second - first - 1);
        const bool head = method == "HEAD";
        if (method != "GET" && !head) {
            Respond(405, "text/plain", {}, "This server only shows: GET and HEAD\n", false);
            return;
        }
        if (target.empty() || target.front() != '/') {
            Respond(400, "text/plain", {}, "Bad request\n", head);
            return;
        }
        const size_t mark = target.find('?');
        const std::string_view path = target.substr(0, mark);
        const std::string_view query = mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
        if (path == Server->StreamPath && !head) {
            OpenStream();
            return;
        }
        HttpResponse response = Server->Handle(path, query);
        if (response.Status == 404 && response.Owned.empty() && response.Static.empty())
            response.Owned = "Not found\n";
        if (response.ContentType.empty())
            response.ContentType = "text/plain; charset=utf-8";
        Answer = std::move(response);
        Respond(Answer.Status, Answer.ContentType, Answer.Static, std::move(Answer.Owned), head);
    }

    void Respond(int status, std::string_view type, std::string_view staticBody, std::string owned, bool headOnly)
    {
        Answered = true;
        Deadline(Server->Limits.ResponseTimeout);
        Owned = std::move(owned);
        const std::string_view body = staticBody.empty() ? std::string_view(Owned) : staticBody;
        HeadText = Head(status, type, body.size(), true);
        std::vector<asio::const_buffer> buffers{asio::buffer(HeadText)};
        if (!headOnly)
            buffers.push_back(asio::buffer(body.data(), body.size()));
        asio::async_write(Socket, buffers, [self = shared_from_this()](const asio::error_code&, size_t) {
            // Told the whole answer: the client reads to the end.
            asio::error_code ignored;
            self->Socket.shutdown(tcp::socket::shutdown_send, ignored);
            self->Shut();
        });
    }

    void OpenStream()
    {
        HttpServer& server = *Server;
        if (server.Streams.size() >= server.Limits.MaxStreams) {
            ++server.Refused;
            Respond(503, "text/plain", {}, "Too many viewers\n", false);
            return;
        }
        Answered = true;
        Streaming = true;
        Timer.cancel();
        server.Streams.insert(shared_from_this());
        ++server.StreamsOpened;
        // The browser comes back two seconds after losing the stream.
        Send(Head(200, "text/event-stream; charset=utf-8", 0, false) + "retry: 2000\n\n" + server.Start());
        Read();
    }

    // Queues one piece of the stream; a client whose queue is full has
    // stopped reading and is let go.
    void Send(std::string text)
    {
        if (Server == nullptr)
            return;
        // One piece always waits, however large: a busy moment's update
        // does not cost a reading client its stream.
        if (Writing && !Waiting.empty() && Queued + text.size() > Server->Limits.StreamQueueBytes) {
            ++Server->StreamsDropped;
            Shut();
            return;
        }
        Queued += text.size();
        Waiting.push_back(std::move(text));
        if (!Writing)
            WriteWaiting();
    }

    void WriteWaiting()
    {
        InFlight.clear();
        for (std::string& text : Waiting)
            InFlight.push_back(std::move(text));
        Waiting.clear();
        Queued = 0;
        std::vector<asio::const_buffer> buffers;
        for (const std::string& text : InFlight)
            buffers.push_back(asio::buffer(text));
        Writing = true;
        asio::async_write(Socket, buffers, [self = shared_from_this()](const asio::error_code& error, size_t) {
            self->Writing = false;
            if (self->Server == nullptr)
                return;
            if (error) {
                self->Shut();
                return;
            }
            if (!self->Waiting.empty())
                self->WriteWaiting();
            else if (self->Finishing)
                self->Shut();
        });
    }

    // The last piece, then the end.
    void SendLast(std::string text)
    {
        Finishing = true;
        Send(std::move(text));
    }

    void Shut()
    {
        asio::error_code ignored;
        Timer.cancel();
        Socket.close(ignored);
        if (Server != nullptr)
            std::exchange(Server, nullptr)->Closed(shared_from_this());
    }

    HttpServer* Server;
    tcp::socket Socket;
    asio::steady_timer Timer;
    std::array<char, 2048> Chunk{};
    std::string Request;
    bool Answered = false;
    bool Streaming = false;
    HttpResponse Answer;
    std::string HeadText;
    std::string Owned;
    // The stream: what waits, and what is being written.
    std::deque<std::string> Waiting;
    std::vector<std::string> InFlight;
    size_t Queued = 0;
    bool Writing = false;
    bool Finishing = false;
};

HttpServer::HttpServer(asio::io_context& io, std::string streamPath, Handler handler, StreamStart start,
                       HttpLimits limits)
    : Io(io), Acceptor(io), StreamPath(std::move(streamPath)), Handle(std::move(handler)), Start(std::move(start)),
      Limits(limits)
{
}

HttpServer::~HttpServer() { Close(); }

std::string HttpServer::Listen(const tcp::endpoint& endpoint)
{
    asio::error_code error;
    Acceptor.open(endpoint.protocol(), error);
#ifndef _WIN32
    // A restarted program gets its port back while old connections linger
    // (on Windows the same option would let two programs share a port).
    if (!error)
        Acceptor.set_option(tcp::acceptor::reuse_address(true), error);
#endif
    if (!error && endpoint.address().is_v6())
        Acceptor.set_option(asio::ip::v6_only(!endpoint.address().is_unspecified()), error);
    if (!error)
        Acceptor.bind(endpoint, error);
    if (!error)
        Acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
        asio::error_code ignored;
        Acceptor.close(ignored);
        return error.message();
    }
    Accept();
    return {};
}

uint16_t HttpServer::Port() const
{
    asio::error_code error;
    const tcp::endpoint local = Acceptor.local_endpoint(error);
    return error ? 0 : local.port();
}

void HttpServer::Accept()
{
    Acceptor.async_accept([this](const asio::error_code& error, tcp::socket socket) {
        if (error == asio::error::operation_aborted || !Acceptor.is_open())
            return;
        if (!error) {
            if (Connections.size() >= Limits.MaxConnections) {
                ++Refused;
                asio::error_code ignored;
                socket.close(ignored);
            } else {
                auto connection = std::make_shared<Connection>(*this, std::move(socket));
                Connections.insert(connection);
                Open = static_cast<int64_t>(Connections.size());
                connection->Start();
            }
        }
        Accept();
    });
}

void HttpServer::Broadcast(const std::string& event)
{
    // Copied: Send may drop a client, which leaves the set.
    const std::vector<std::shared_ptr<Connection>> streams(Streams.begin(), Streams.end());
    for (const auto& stream : streams)
        stream->Send(event);
}

void HttpServer::Closed(const std::shared_ptr<Connection>& connection)
{
    Connections.erase(connection);
    Streams.erase(connection);
    Open = static_cast<int64_t>(Connections.size());
}

void HttpServer::Finish(const std::string& lastEvent)
{
    asio::error_code ignored;
    Acceptor.close(ignored);
    const std::vector<std::shared_ptr<Connection>> streams(Streams.begin(), Streams.end());
    for (const auto& stream : streams)
        stream->SendLast(lastEvent);
}

void HttpServer::Close()
{
    asio::error_code ignored;
    Acceptor.close(ignored);
    const std::vector<std::shared_ptr<Connection>> open(Connections.begin(), Connections.end());
    for (const auto& connection : open)
        connection->Shut();
    Connections.clear();
    Streams.clear();
    Open = 0;
}

HttpStats HttpServer::Counts() const
{
    return {Requests.load(), StreamsOpened.load(), StreamsDropped.load(), Refused.load(), Open.load()};
}

}  // namespace kelvane
