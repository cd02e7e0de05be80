#include "output/TcpServerOutput.h"

#include "core/TextFields.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <charconv>

namespace kelvane {

namespace {

std::string Peer(const QTcpSocket* socket)
{
    return socket->peerAddress().toString().toStdString() + ":" + std::to_string(socket->peerPort());
}

// The kernel's share of a slow client's queue, kept small so that the
// bound on what waits is ours.
constexpr int SocketSendBuffer = 64 * 1024;

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
    result.Address = QHostAddress::Any;
    if (!address.empty() && !result.Address.setAddress(QString::fromStdString(address)))
        return std::nullopt;
    return result;
}

TcpServerOutput::TcpServerOutput()
{
    QObject::connect(&Server, &QTcpServer::newConnection, &Server, [this] { Accept(); });
}

TcpServerOutput::~TcpServerOutput() { Close(); }

std::string TcpServerOutput::Open(std::string_view addressText)
{
    Close();
    BlocksSent = ClientsServed = ClientsDropped = ClientsRefused = 0;
    const std::optional<ListenAddress> where = ParseListenAddress(addressText);
    if (!where)
        return "Invalid TCP server address " + std::string(addressText) + "! Give a port, or ADDRESS:PORT.";
    Server.setMaxPendingConnections(MaxClients);
    if (!Server.listen(where->Address, where->Port))
        return "Unable to listen on TCP " + std::string(TrimSpaces(addressText)) + "! " +
               Server.errorString().toStdString();
    return {};
}

void TcpServerOutput::Accept()
{
    while (QTcpSocket* socket = Server.nextPendingConnection()) {
        if (Clients.size() >= MaxClients) {
            ++ClientsRefused;
            if (OnClientEvent)
                OnClientEvent(Peer(socket) + " refused: " + std::to_string(MaxClients) + " clients already");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, SocketSendBuffer);
        // Whatever a client says is read and dropped, a little at a time.
        socket->setReadBufferSize(4096);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] { Forget(socket, "disconnected"); });
        Clients.push_back(socket);
        ++ClientsServed;
        if (OnClientEvent)
            OnClientEvent(Peer(socket) + " connected");
    }
}

void TcpServerOutput::Forget(QTcpSocket* socket, const std::string& why)
{
    const auto found = std::find(Clients.begin(), Clients.end(), socket);
    if (found == Clients.end())
        return;
    Clients.erase(found);
    if (OnClientEvent)
        OnClientEvent(Peer(socket) + " " + why);
    socket->disconnect();
    socket->abort();
    socket->deleteLater();
}

void TcpServerOutput::Send(std::string_view block)
{
    const auto size = static_cast<qint64>(block.size());
    bool sent = false;
    for (QTcpSocket* socket : std::vector<QTcpSocket*>(Clients)) {
        if (socket->state() != QAbstractSocket::ConnectedState) {
            Forget(socket, "disconnected");
            continue;
        }
        if (socket->bytesToWrite() + size > MaxQueueBytes) {
            ++ClientsDropped;
            Forget(socket, "dropped: it did not read");
            continue;
        }
        socket->write(block.data(), size);
        // As much as the socket takes now, without waiting.
        socket->flush();
        sent = true;
    }
    if (sent)
        ++BlocksSent;
}

void TcpServerOutput::Close()
{
    // A second at most, for all clients together, to take what waits.
    const QDeadlineTimer deadline(1000);
    for (QTcpSocket* socket : Clients) {
        socket->disconnect();
        socket->disconnectFromHost();
        if (socket->state() != QAbstractSocket::UnconnectedState)
            socket->waitForDisconnected(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)));
        socket->abort();
        socket->deleteLater();
    }
    Clients.clear();
    Server.close();
}

}  // namespace kelvane
