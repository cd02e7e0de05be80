// A small HTTP/1.1 server for a read-only page, on an Asio io_context (the
// web view's network thread): GET and HEAD, one request per connection, and
// event streams (Server-Sent Events) to which every client gets the same
// updates. Each stream client has a bounded queue: one that stops reading is
// dropped when its queue is full, so a slow or stalled browser costs only
// its own connection and never holds up the sender. Every member runs on the
// io_context's thread, except Counts.
#pragma once

#include "web/HttpSettings.h"

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>

namespace kelvane {

class HttpServer {
public:
    // What a path (without its query) answers; Status 404 for none.
    using Handler = std::function<HttpResponse(std::string_view path, std::string_view query)>;
    // The first event a new stream client gets (the whole state).
    using StreamStart = std::function<std::string()>;

    HttpServer(asio::io_context& io, std::string streamPath, Handler handler, StreamStart start,
               HttpLimits limits = {});
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Listens; "" or the system's reason.
    std::string Listen(const asio::ip::tcp::endpoint& endpoint);
    uint16_t Port() const;
    // One event (already in the stream's form) to every stream client.
    void Broadcast(const std::string& event);
    size_t StreamClients() const { return Streams.size(); }
    // Closes the listener and every connection.
    void Close();
    // Takes no one new and sends the last event to every stream client,
    // each closed once it has taken it (Close ends the rest).
    void Finish(const std::string& lastEvent);

    // Any thread.
    HttpStats Counts() const;

private:
    struct Connection;
    friend struct Connection;

    void Accept();
    void Closed(const std::shared_ptr<Connection>& connection);

    asio::io_context& Io;
    asio::ip::tcp::acceptor Acceptor;
    std::string StreamPath;
    Handler Handle;
    StreamStart Start;
    HttpLimits Limits;
    std::set<std::shared_ptr<Connection>> Connections;
    std::set<std::shared_ptr<Connection>> Streams;
    std::atomic<int64_t> Requests{0};
    std::atomic<int64_t> StreamsOpened{0};
    std::atomic<int64_t> StreamsDropped{0};
    std::atomic<int64_t> Refused{0};
    std::atomic<int64_t> Open{0};
};

// A Server-Sent Event of that name with one line of data.
std::string ServerSentEvent(std::string_view name, std::string_view data);

}  // namespace kelvane
