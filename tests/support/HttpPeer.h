// A browser's side of the web view for tests, on plain loopback sockets:
// one request and its whole answer, or an event stream read as it comes.
// Every wait has a deadline.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane::test {

struct HttpAnswer {
    int Status = 0;  // 0: no answer
    std::string Head;
    std::string Body;
};

// Sends the request text as it is (a whole request head and body) and reads
// the answer until the server closes.
HttpAnswer HttpExchange(uint16_t port, const std::string& request, int ms = 10000);
// GET path.
HttpAnswer HttpGet(uint16_t port, const std::string& path, int ms = 10000);

struct ServerEvent {
    std::string Name;
    std::string Data;
};

// A client of /events.
class EventStream {
public:
    // receiveBuffer > 0 makes the socket's receive buffer that small, for a
    // client that stops reading early.
    explicit EventStream(uint16_t port, int receiveBuffer = 0);
    ~EventStream();
    EventStream(const EventStream&) = delete;
    EventStream& operator=(const EventStream&) = delete;

    // The next event, or one with an empty name when none came within ms or
    // the server closed.
    ServerEvent Next(int ms = 10000);
    // Whether the server has closed the stream, waiting up to ms for it and
    // throwing away what comes meanwhile.
    bool ClosedByServer(int ms = 10000);
    std::string Head() const { return ResponseHead; }

private:
    bool Fill(int ms);

    int Fd = -1;
    std::string Buffer;
    std::string ResponseHead;
    bool HeadRead = false;
};

// The web view's address from what kelvane-decode printed ("web view on
// http://127.0.0.1:PORT/"); 0 when it is not there yet.
uint16_t WebViewPort(const std::string& errorText);

}  // namespace kelvane::test
