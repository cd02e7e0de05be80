// The TCP client output ("Push to"): Kelvane connects to an aggregator or a
// plotter that listens, and keeps connecting: after any failure it tries
// again after 1 s, then 2, 4, ... up to a minute between tries. Blocks made
// while it is not connected are dropped and counted; nothing waits for the
// peer.
#pragma once

#include <QTcpSocket>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

struct TcpTarget {
    std::string Host;
    uint16_t Port = 0;
};

// "HOST:PORT", the host a name or an address (IPv6 in brackets), the port
// 1 to 65535.
std::optional<TcpTarget> ParseTcpTarget(std::string_view text);

class TcpClientOutput {
public:
    static constexpr qint64 MaxQueueBytes = 1 << 20;
    static constexpr int FirstRetryMs = 1000;
    static constexpr int LastRetryMs = 60000;

    TcpClientOutput();
    ~TcpClientOutput();
    TcpClientOutput(const TcpClientOutput&) = delete;
    TcpClientOutput& operator=(const TcpClientOutput&) = delete;

    // Starts connecting; "" or the message for an invalid target.
    std::string Open(std::string_view targetText);
    void Send(std::string_view block);
    void Close();
    bool IsOpen() const { return Opened; }
    bool Connected() const { return Socket.state() == QAbstractSocket::ConnectedState; }

    // Called when the connection comes or goes.
    std::function<void(bool connected, const std::string& why)> OnStateChange;

    // Since Open.
    int64_t BlocksSent = 0;
    int64_t BlocksDropped = 0;
    int64_t Reconnects = 0;

private:
    void Connect();
    void Failed(const std::string& why);

    QTcpSocket Socket;
    QTimer Retry;
    TcpTarget Target;
    bool Opened = false;
    bool EverConnected = false;
    int RetryMs = FirstRetryMs;
};

}  // namespace kelvane
