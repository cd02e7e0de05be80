// What the network thread carries: messages a second through the TCP
// server to three clients that read as fast as they can, the caller's cost
// per message (what the decoding thread pays), and the same through the
// push client to one listener. Sent in rounds of 2000 messages, each read
// by every client before the next: a client may have 1 MiB waiting before
// it is let go, and a real channel brings at most about 75 messages a
// second.
//   network_bench [MESSAGES]
#include "output/NetworkThread.h"
#include "output/TcpClientOutput.h"
#include "output/TcpServerOutput.h"
#include "support/LoopbackPeers.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kelvane;
using Clock = std::chrono::steady_clock;

constexpr int Round = 2000;
const std::string Block = "!AIVDM,1,1,,A,13mn4I0P000HEd>RSk<8Vgv406bh,0*4C\r\n";

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

}  // namespace

int main(int argc, char** argv)
{
    const int messages = (argc > 1 ? std::atoi(argv[1]) : 200000) / Round * Round;
    const size_t total = Block.size() * static_cast<size_t>(messages);
    NetworkThread network;

    {
        TcpServerOutput server(network);
        const uint16_t port = test::FreeTcpPort();
        if (const std::string problem = server.Open("127.0.0.1:" + std::to_string(port)); !problem.empty()) {
            std::printf("%s\n", problem.c_str());
            return 1;
        }
        std::vector<std::unique_ptr<test::TcpReader>> clients;
        for (int i = 0; i < 3; ++i)
            clients.push_back(std::make_unique<test::TcpReader>(port));
        while (server.ClientCount() < 3)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::vector<size_t> got(3);
        double sending = 0;
        const auto start = Clock::now();
        for (int sent = 0; sent < messages; sent += Round) {
            const auto round = Clock::now();
            for (int i = 0; i < Round; ++i)
                server.Send(Block);
            sending += Seconds(round);
            std::vector<std::thread> readers;
            for (size_t c = 0; c < 3; ++c)
                readers.emplace_back([&, c] { got[c] += clients[c]->Read(Block.size() * Round, 10000).size(); });
            for (std::thread& r : readers)
                r.join();
        }
        const double all = Seconds(start);
        std::printf("TCP server, 3 clients: %d messages in %.3f s: %.0f messages a second to each; "
                    "the caller spends %.2f us a message; received %zu, %zu, %zu of %zu bytes; %lld dropped\n",
                    messages, all, messages / all, sending / messages * 1e6, got[0], got[1], got[2], total,
                    static_cast<long long>(server.ClientsDropped.load()));
        server.Close();
    }
    {
        test::TcpListener listener;
        TcpClientOutput client(network);
        client.Open("127.0.0.1:" + std::to_string(listener.Port()));
        listener.Accept();
        while (!client.Connected())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        size_t got = 0;
        double sending = 0;
        const auto start = Clock::now();
        for (int sent = 0; sent < messages; sent += Round) {
            const auto round = Clock::now();
            for (int i = 0; i < Round; ++i)
                client.Send(Block);
            sending += Seconds(round);
            got += listener.Read(Block.size() * Round, 10000).size();
        }
        const double all = Seconds(start);
        std::printf("TCP client, 1 listener: %d messages in %.3f s: %.0f messages a second; "
                    "the caller spends %.2f us a message; received %zu of %zu bytes; %lld dropped\n",
                    messages, all, messages / all, sending / messages * 1e6, got, total,
                    static_cast<long long>(client.BlocksDropped.load()));
        client.Close();
    }
    return 0;
}
