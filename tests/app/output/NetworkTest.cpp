// The network outputs against real sockets on the loopback: TCP clients of
// the server, a listener for the client, UDP names behind a resolver that
// does not answer.
#include "output/TcpClientOutput.h"
#include "output/TcpServerOutput.h"
#include "output/UdpTargets.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <future>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvane::test {
namespace {

// Runs the event loop until the condition holds, for up to ten seconds.
bool Until(const std::function<bool()>& condition, int ms = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

uint16_t FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

std::string Message(int i)
{
    return "!AIVDM,1,1,,,13mn4I0P000HEd>RSk<8Vgv4" + std::to_string(100000 + i) + ",0*00\r\n";
}

// A client that never reads, with a small receive window, so that what the
// server sends it piles up on the server's side.
int StalledClient(uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 ? fd : -1;
}

TEST(TcpServer, ReadersGetEveryBlockInOrderAndOneThatDoesNotReadIsLetGo)
{
    const uint16_t port = FreePort();
    TcpServerOutput server;
    std::vector<std::string> events;
    server.OnClientEvent = [&](const std::string& e) { events.push_back(e); };
    ASSERT_EQ(server.Open("127.0.0.1:" + std::to_string(port)), "");

    QTcpSocket steady, leaving;
    std::string steadyGot, leavingGot;
    QObject::connect(&steady, &QTcpSocket::readyRead, [&] { steadyGot += steady.readAll().toStdString(); });
    QObject::connect(&leaving, &QTcpSocket::readyRead, [&] { leavingGot += leaving.readAll().toStdString(); });
    steady.connectToHost(QHostAddress::LocalHost, port);
    leaving.connectToHost(QHostAddress::LocalHost, port);
    const int stalled = StalledClient(port);
    ASSERT_GE(stalled, 0);
    ASSERT_TRUE(Until([&] { return server.ClientCount() == 3; }));

    // 2.5 MB in all: well past what a client may have waiting.
    std::string sent;
    for (int i = 0; i < 50000; ++i) {
        sent += Message(i);
        server.Send(Message(i));
        if (i == 1000)
            leaving.close();
        if (i % 500 == 0)
            QCoreApplication::processEvents();
    }
    EXPECT_TRUE(Until([&] { return steadyGot.size() >= sent.size(); }));
    EXPECT_EQ(steadyGot, sent);
    EXPECT_FALSE(leavingGot.empty());
    EXPECT_EQ(sent.compare(0, leavingGot.size(), leavingGot), 0) << "what left got a beginning";
    EXPECT_EQ(server.ClientsDropped, 1);
    EXPECT_EQ(server.ClientCount(), 1u);
    EXPECT_EQ(server.BlocksSent, 50000);
    EXPECT_EQ(events.size(), 5u) << "three came, one left, one was let go";
    close(stalled);
    server.Close();
    EXPECT_FALSE(server.IsOpen());
}

TEST(TcpServer, AddressesAClientLimitAndAPortInUse)
{
    EXPECT_EQ(ParseListenAddress("10110")->Port, 10110);
    EXPECT_EQ(ParseListenAddress(" 127.0.0.1:2000 ")->Address, QHostAddress("127.0.0.1"));
    EXPECT_EQ(ParseListenAddress("[::1]:2000")->Address, QHostAddress("::1"));
    for (const char* bad : {"", "0", "65536", "host:2000", "::1:2000", "1.2.3.4:", "12ab"})
        EXPECT_FALSE(ParseListenAddress(bad)) << bad;

    const uint16_t port = FreePort();
    const std::string where = "127.0.0.1:" + std::to_string(port);
    TcpServerOutput server, rival;
    ASSERT_EQ(server.Open(where), "");
    EXPECT_EQ(rival.Open(where).rfind("Unable to listen on TCP " + where + "! ", 0), 0u);
    EXPECT_EQ(rival.Open("nonsense").rfind("Invalid TCP server address nonsense!", 0), 0u);

    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < TcpServerOutput::MaxClients + 1; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, port);
    }
    ASSERT_TRUE(Until([&] { return server.ClientsRefused == 1; }));
    EXPECT_EQ(server.ClientCount(), static_cast<size_t>(TcpServerOutput::MaxClients));
}

TEST(TcpClient, DropsWhileTheListenerIsGoneAndReconnects)
{
    EXPECT_EQ(ParseTcpTarget("ais.example.org:4001")->Host, "ais.example.org");
    EXPECT_EQ(ParseTcpTarget("[::1]:4001")->Host, "::1");
    for (const char* bad : {"", "host", ":4001", "host:0", "a b:4001", "::1:4001"})
        EXPECT_FALSE(ParseTcpTarget(bad)) << bad;

    const uint16_t port = FreePort();
    QTcpServer listener;
    QTcpSocket* peer = nullptr;
    std::string got;
    auto accept = [&] {
        peer = listener.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [&, p = peer] { got += p->readAll().toStdString(); });
    };
    QObject::connect(&listener, &QTcpServer::newConnection, accept);
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, port));

    TcpClientOutput client;
    std::vector<bool> states;
    client.OnStateChange = [&](bool connected, const std::string&) { states.push_back(connected); };
    ASSERT_EQ(client.Open("127.0.0.1:" + std::to_string(port)), "");
    ASSERT_TRUE(Until([&] { return client.Connected() && peer != nullptr; }));
    std::string before;
    for (int i = 0; i < 5; ++i) {
        client.Send(Message(i));
        before += Message(i);
    }
    ASSERT_TRUE(Until([&] { return got.size() == before.size(); }));
    EXPECT_EQ(got, before);

    // The listener goes away (as a killed process's would).
    listener.close();
    peer->abort();
    ASSERT_TRUE(Until([&] { return !client.Connected(); }));
    for (int i = 5; i < 8; ++i)
        client.Send(Message(i));
    EXPECT_EQ(client.BlocksDropped, 3);

    got.clear();
    peer = nullptr;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost, port));
    ASSERT_TRUE(Until([&] { return client.Connected() && peer != nullptr; }));
    client.Send(Message(8));
    ASSERT_TRUE(Until([&] { return got == Message(8); }));
    EXPECT_EQ(client.Reconnects, 1);
    EXPECT_EQ(client.BlocksSent, 6);
    EXPECT_EQ(states, (std::vector<bool>{true, false, true}));
    client.Close();
}

class UdpReceiver {
public:
    UdpReceiver() { Socket.bind(QHostAddress::LocalHost, 0); }
    uint16_t Port() const { return Socket.localPort(); }
    std::vector<std::string> Take(size_t count, int ms = 2000)
    {
        std::vector<std::string> got;
        while (got.size() < count && Socket.waitForReadyRead(ms))
            while (Socket.hasPendingDatagrams())
                got.push_back(Socket.receiveDatagram().data().toStdString());
        return got;
    }
    QUdpSocket Socket;
};

TEST(UdpTargets, ANameThatIsSlowToResolveHoldsNothingUpAndIsServedOnceItResolves)
{
    UdpReceiver direct, byName;
    std::promise<void> answer;
    std::shared_future<void> answered = answer.get_future().share();
    std::atomic<int> asked{0};
    // A name server that answers only when the test lets it.
    UdpTargets udp([] { return true; }, [&, answered](const std::string& host) {
        ++asked;
        answered.wait();
        return host == "slow.example" ? QHostAddress(QHostAddress::LocalHost) : QHostAddress();
    });
    std::vector<std::string> failed;
    udp.OnSendFailure = [&](const UdpDestination& d) { failed.push_back(d.Host); };
    ASSERT_TRUE(udp.OpenUdpTargets("slow.example:" + std::to_string(byName.Port()) + ",127.0.0.1:" +
                                   std::to_string(direct.Port())));
    // The open came back with the lookup still waiting for its answer.
    ASSERT_TRUE(Until([&] { return asked == 1; }));
    udp.SendUdp("first");
    EXPECT_EQ(failed, std::vector<std::string>{"slow.example"});
    EXPECT_EQ(direct.Take(1), std::vector<std::string>{"first"});

    answer.set_value();
    ASSERT_TRUE(Until([&] {
        udp.SendUdp("later");
        return !byName.Take(1, 100).empty();
    }));
    EXPECT_EQ(udp.Failed, static_cast<int64_t>(failed.size()));
    udp.CloseUdpTargets();
}

TEST(UdpTargets, LocalhostByNameReachesAnIPv4Listener)
{
    UdpReceiver receiver;
    UdpTargets udp([] { return true; });
    ASSERT_TRUE(udp.OpenUdpTargets("localhost:" + std::to_string(receiver.Port())));
    std::vector<std::string> got;
    ASSERT_TRUE(Until([&] {
        udp.SendUdp("hello");
        got = receiver.Take(1, 100);
        return !got.empty();
    }));
    EXPECT_EQ(got, std::vector<std::string>{"hello"});
}

}  // namespace
}  // namespace kelvane::test
