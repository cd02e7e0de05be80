// What the web view's HTTP server answers with, how much it allows, and
// what it counts: plain values, without the networking behind them.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvane {

struct HttpResponse {
    int Status = 200;
    std::string ContentType;
    // The body: either static bytes that outlive the server (an asset) or
    // owned text.
    std::string_view Static;
    std::string Owned;
};

struct HttpLimits {
    size_t MaxConnections = 128;       // at once, streams included
    size_t MaxStreams = 64;
    size_t StreamQueueBytes = 1 << 20;  // waiting for a client before it is dropped
    size_t MaxRequestHead = 8192;
    std::chrono::milliseconds RequestTimeout{10000};   // to send the request
    std::chrono::milliseconds ResponseTimeout{60000};  // to take a response
};

struct HttpStats {
    int64_t Requests = 0;
    int64_t StreamsOpened = 0;
    int64_t StreamsDropped = 0;  // for not reading
    int64_t Refused = 0;         // over the connection limits
    int64_t Open = 0;            // connections open now
};

}  // namespace kelvane
