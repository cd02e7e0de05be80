// The network outputs against real sockets on the loopback: TCP clients of
// the server, a listener for the client, UDP names behind resolvers the test
// controls. The peers are plain blocking sockets on threads of their own.
#include "output/TcpClientOutput.h"
#include "output/TcpServerOutput.h"
#include "output/UdpTargets.h"

#include "support/LoopbackPeers.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <future>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kelvane::test {
namespace {

// Waits until the condition holds, for up to ten seconds.
bool Until(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::string Message(int i)
{
    return "!AIVDM,1,1,,,13mn4I0P000HEd>RSk<8Vgv4" + std::to_string(100000 + i) + ",0*00\r\n";
}

sockaddr_in Loopback(uint16_t port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return to;
}

// A connected client socket; with a small receive window when asked, so
// that what the server sends a client that never reads piles up on the
// server's side.
int Connect(uint16_t port, bool smallWindow = false)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    if (smallWindow)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    const sockaddr_in to = Loopback(port);
    return connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 ? fd : -1;
}

// Reads a connection to its end on a thread of its own.
class Reader {
public:
    explicit Reader(int fd) : Fd(fd), Thread([this] {
        char buffer[65536];
        for (ssize_t n; (n = recv(Fd, buffer, sizeof buffer, 0)) > 0;) {
            std::lock_guard lock(Lock);
            Data.append(buffer, static_cast<size_t>(n));
        }
    })
    {
    }
    ~Reader() { Close(); }
    std::string Got()
    {
        std::lock_guard lock(Lock);
        return Data;
    }
    void Close()
    {
        if (Thread.joinable()) {
            shutdown(Fd, SHUT_RDWR);
            Thread.join();
            close(Fd);
        }
    }

private:
    int Fd;
    std::mutex Lock;
    std::string Data;
    std::thread Thread;
};

// What an output reports on the network thread, for the test to read.
struct Reports {
    void Add(const std::string& text)
    {
        std::lock_guard lock(Lock);
        Texts.push_back(text);
    }
    std::vector<std::string> All()
    {
        std::lock_guard lock(Lock);
        return Texts;
    }
    std::mutex Lock;
    std::vector<std::string> Texts;
};

TEST(TcpServer, ReadersGetEveryBlockInOrderAndOneThatDoesNotReadIsLetGo)
{
    const uint16_t port = FreeTcpPort();
    NetworkThread network;
    TcpServerOutput server(network);
    Reports events;
    server.OnClientEvent = [&](const std::string& e) { events.Add(e); };
    ASSERT_EQ(server.Open("127.0.0.1:" + std::to_string(port)), "");

    Reader steady(Connect(port)), leaving(Connect(port));
    const int stalled = Connect(port, true);
    ASSERT_GE(stalled, 0);
    ASSERT_TRUE(Until([&] { return server.ClientCount() == 3; }));

    // 2.5 MB in all: well past what a client may have waiting. The steady
    // reader is let catch up now and then, as a real one keeps pace with a
    // real receiver.
    std::string sent;
    for (int i = 0; i < 50000; ++i) {
        sent += Message(i);
        server.Send(Message(i));
        if (i == 1000)
            leaving.Close();
        if (i % 500 == 0) {
            ASSERT_TRUE(Until([&] { return steady.Got().size() == sent.size(); }));
        }
    }
    EXPECT_TRUE(Until([&] { return steady.Got().size() >= sent.size(); }));
    EXPECT_EQ(steady.Got(), sent);
    const std::string leavingGot = leaving.Got();
    EXPECT_FALSE(leavingGot.empty());
    EXPECT_EQ(sent.compare(0, leavingGot.size(), leavingGot), 0) << "what left got a beginning";
    EXPECT_TRUE(Until([&] { return events.All().size() == 5; })) << "three came, one left, one was let go";
    EXPECT_EQ(server.ClientsDropped, 1);
    EXPECT_EQ(server.ClientCount(), 1u);
    EXPECT_EQ(server.BlocksSent, 50000);
    close(stalled);
    server.Close();
    EXPECT_FALSE(server.IsOpen());
}

// The network thread's reason to be: nothing on the caller's side needs to
// run for a client to be taken in.
TEST(TcpServer, AClientIsAcceptedWhileTheCallerIsBusyAndGetsTheNextBlock)
{
    const uint16_t port = FreeTcpPort();
    NetworkThread network;
    TcpServerOutput server(network);
    std::promise<std::string> arrived;
    std::once_flag once;
    server.OnClientEvent = [&](const std::string& e) { std::call_once(once, [&] { arrived.set_value(e); }); };
    ASSERT_EQ(server.Open("127.0.0.1:" + std::to_string(port)), "");
    server.Send(Message(0));  // before the client came

    Reader client(Connect(port));
    // The caller is blocked here, as in a read of audio input.
    std::future<std::string> event = arrived.get_future();
    ASSERT_EQ(event.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_NE(event.get().find(" connected"), std::string::npos);
    server.Send(Message(1));
    EXPECT_TRUE(Until([&] { return client.Got().size() >= Message(1).size(); }));
    EXPECT_EQ(client.Got(), Message(1));
    server.Close();
}

TEST(TcpServer, AddressesAClientLimitAndAPortInUse)
{
    EXPECT_EQ(ParseListenAddress("10110")->Port, 10110);
    EXPECT_FALSE(ParseListenAddress("10110")->Address);
    EXPECT_EQ(ParseListenAddress(" 127.0.0.1:2000 ")->Address, asio::ip::make_address("127.0.0.1"));
    EXPECT_EQ(ParseListenAddress("[::1]:2000")->Address, asio::ip::make_address("::1"));
    for (const char* bad : {"", "0", "65536", "host:2000", "::1:2000", "1.2.3.4:", "12ab"})
        EXPECT_FALSE(ParseListenAddress(bad)) << bad;

    const uint16_t port = FreeTcpPort();
    const std::string where = "127.0.0.1:" + std::to_string(port);
    NetworkThread network;
    TcpServerOutput server(network), rival(network);
    ASSERT_EQ(server.Open(where), "");
    EXPECT_EQ(rival.Open(where), "Unable to listen on TCP " + where + "! The bound address is already in use");
    EXPECT_EQ(rival.Open("nonsense").rfind("Invalid TCP server address nonsense!", 0), 0u);

    std::vector<int> clients;
    for (int i = 0; i < TcpServerOutput::MaxClients + 1; ++i)
        clients.push_back(Connect(port));
    ASSERT_TRUE(Until([&] { return server.ClientsRefused == 1; }));
    EXPECT_EQ(server.ClientCount(), static_cast<size_t>(TcpServerOutput::MaxClients));
    server.Close();
    for (const int fd : clients)
        close(fd);
}

// One connection at a time, read to its end.
class Listener {
public:
    explicit Listener(uint16_t port) : Port(port) { Listen(); }
    ~Listener() { Stop(); }
    void Listen()
    {
        Fd = socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        setsockopt(Fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        const sockaddr_in at = Loopback(Port);
        if (bind(Fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || listen(Fd, 4) != 0)
            throw std::runtime_error("cannot listen");
        Accepting = std::thread([this] {
            const int peer = accept(Fd, nullptr, nullptr);
            if (peer >= 0)
                Peer = std::make_unique<Reader>(peer);
            Accepted = true;
        });
    }
    // Goes away as a killed process's would: the connection reset, the port
    // closed.
    void Stop()
    {
        if (!Accepting.joinable())
            return;
        shutdown(Fd, SHUT_RDWR);
        Accepting.join();
        close(Fd);
        Peer.reset();
        Accepted = false;
    }
    bool Connected() const { return Accepted && Peer; }
    std::string Got() { return Connected() ? Peer->Got() : std::string(); }

private:
    uint16_t Port;
    int Fd = -1;
    std::thread Accepting;
    std::atomic<bool> Accepted{false};
    std::unique_ptr<Reader> Peer;
};

TEST(TcpClient, DropsWhileTheListenerIsGoneAndReconnects)
{
    EXPECT_EQ(ParseTcpTarget("ais.example.org:4001")->Host, "ais.example.org");
    EXPECT_EQ(ParseTcpTarget("[::1]:4001")->Host, "::1");
    for (const char* bad : {"", "host", ":4001", "host:0", "a b:4001", "::1:4001"})
        EXPECT_FALSE(ParseTcpTarget(bad)) << bad;

    const uint16_t port = FreeTcpPort();
    Listener listener(port);
    NetworkThread network;
    TcpClientOutput client(network);
    Reports states;
    client.OnStateChange = [&](bool connected, const std::string&) { states.Add(connected ? "up" : "down"); };
    ASSERT_EQ(client.Open("127.0.0.1:" + std::to_string(port)), "");
    ASSERT_TRUE(Until([&] { return client.Connected() && listener.Connected(); }));
    std::string before;
    for (int i = 0; i < 5; ++i) {
        client.Send(Message(i));
        before += Message(i);
    }
    ASSERT_TRUE(Until([&] { return listener.Got().size() == before.size(); }));
    EXPECT_EQ(listener.Got(), before);

    listener.Stop();
    ASSERT_TRUE(Until([&] { return !client.Connected(); }));
    for (int i = 5; i < 8; ++i)
        client.Send(Message(i));
    EXPECT_EQ(client.BlocksDropped, 3);

    listener.Listen();
    ASSERT_TRUE(Until([&] { return client.Connected() && listener.Connected(); }));
    client.Send(Message(8));
    ASSERT_TRUE(Until([&] { return listener.Got() == Message(8); }));
    EXPECT_EQ(client.Reconnects, 1);
    EXPECT_EQ(client.BlocksSent, 6);
    EXPECT_EQ(states.All(), (std::vector<std::string>{"up", "down", "up"}));
    client.Close();
}

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
        return host == "slow.example" ? std::vector{asio::ip::make_address("127.0.0.1")}
                                      : std::vector<asio::ip::address>{};
    });
    std::vector<std::string> failed;
    udp.OnSendFailure = [&](const UdpDestination& d) { failed.push_back(d.Host); };
    ASSERT_TRUE(udp.OpenUdpTargets("slow.example:" + std::to_string(byName.Port()) + ",127.0.0.1:" +
                                   std::to_string(direct.Port())));
    // The open came back with the lookup still waiting for its answer.
    ASSERT_TRUE(Until([&] { return asked == 1; }));
    udp.SendUdp("first");
    EXPECT_EQ(failed, std::vector<std::string>{"slow.example"});
    EXPECT_EQ(direct.TakeData(1), "first");

    answer.set_value();
    ASSERT_TRUE(Until([&] {
        udp.SendUdp("later");
        return !byName.Take(1, std::chrono::milliseconds(100)).empty();
    }));
    EXPECT_EQ(udp.Failed, static_cast<int64_t>(failed.size()));
    udp.CloseUdpTargets();
}

// A name with addresses of both families, as localhost has on most systems
// (in either order), reaches a listener on IPv4 only.
TEST(UdpTargets, LocalhostByNameReachesAnIPv4Listener)
{
    const asio::ip::address v4 = asio::ip::make_address("127.0.0.1"), v6 = asio::ip::make_address("::1");
    for (const std::vector<asio::ip::address>& addresses : {std::vector{v6, v4}, std::vector{v4, v6}}) {
        UdpReceiver receiver;
        UdpTargets udp([] { return true; }, [addresses](const std::string& host) {
            return host == "localhost" ? addresses : std::vector<asio::ip::address>{};
        });
        ASSERT_TRUE(udp.OpenUdpTargets("localhost:" + std::to_string(receiver.Port())));
        std::string got;
        ASSERT_TRUE(Until([&] {
            udp.SendUdp("hello");
            got = receiver.TakeData(1, std::chrono::milliseconds(100));
            return !got.empty();
        })) << addresses.front();
        EXPECT_EQ(got, "hello");
    }
}

}  // namespace
}  // namespace kelvane::test
