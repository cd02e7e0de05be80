#include "output/TcpClientOutput.h"

#include "output/TcpServerOutput.h"
#include "core/TextFields.h"

#include <QDeadlineTimer>

#include <algorithm>

namespace kelvane {

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

TcpClientOutput::TcpClientOutput()
{
    Retry.setSingleShot(true);
    QObject::connect(&Retry, &QTimer::timeout, &Socket, [this] { Connect(); });
    QObject::connect(&Socket, &QTcpSocket::connected, &Socket, [this] {
        // A dead peer behind a router that restarted shows up in time.
        Socket.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        RetryMs = FirstRetryMs;
        if (std::exchange(EverConnected, true))
            ++Reconnects;
        if (OnStateChange)
            OnStateChange(true, "connected");
    });
    QObject::connect(&Socket, &QTcpSocket::readyRead, &Socket, [this] { Socket.readAll(); });
    QObject::connect(&Socket, &QTcpSocket::errorOccurred, &Socket,
                     [this](QAbstractSocket::SocketError) { Failed(Socket.errorString().toStdString()); });
    QObject::connect(&Socket, &QTcpSocket::disconnected, &Socket, [this] { Failed("disconnected"); });
    Socket.setReadBufferSize(4096);
}

TcpClientOutput::~TcpClientOutput() { Close(); }

std::string TcpClientOutput::Open(std::string_view targetText)
{
    Close();
    BlocksSent = BlocksDropped = Reconnects = 0;
    const std::optional<TcpTarget> target = ParseTcpTarget(targetText);
    if (!target)
        return "Invalid TCP target " + std::string(targetText) + "! Give HOST:PORT.";
    Target = *target;
    Opened = true;
    EverConnected = false;
    RetryMs = FirstRetryMs;
    Connect();
    return {};
}

void TcpClientOutput::Connect()
{
    if (!Opened)
        return;
    Socket.abort();
    // The name is resolved without blocking; the result arrives with the
    // connection.
    Socket.connectToHost(QString::fromStdString(Target.Host), Target.Port);
}

void TcpClientOutput::Failed(const std::string& why)
{
    if (!Opened || Retry.isActive())
        return;
    if (OnStateChange)
        OnStateChange(false, why);
    Retry.start(RetryMs);
    RetryMs = std::min(2 * RetryMs, LastRetryMs);
}

void TcpClientOutput::Send(std::string_view block)
{
    if (!Opened)
        return;
    const auto size = static_cast<qint64>(block.size());
    if (!Connected()) {
        ++BlocksDropped;
        return;
    }
    if (Socket.bytesToWrite() + size > MaxQueueBytes) {
        // A peer that takes nothing is as good as gone: start afresh.
        ++BlocksDropped;
        Failed("the peer did not read");
        Socket.abort();
        return;
    }
    Socket.write(block.data(), size);
    Socket.flush();
    ++BlocksSent;
}

void TcpClientOutput::Close()
{
    if (!Opened)
        return;
    Opened = false;
    Retry.stop();
    if (Connected()) {
        Socket.disconnectFromHost();
        if (Socket.state() != QAbstractSocket::UnconnectedState)
            Socket.waitForDisconnected(1000);
    }
    Socket.abort();
}

}  // namespace kelvane
