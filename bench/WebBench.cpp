// What the web view costs the receiver: the whole chain's speed (stereo,
// the library path) without the web view, with it open and nobody watching,
// and with ten pages streaming; then how long a message takes to reach a
// watching page (at the default update interval).
//   web_bench [SECONDS]
#include "TrafficGenerator.h"
#include "station/Station.h"
#include "support/ChainRig.h"
#include "support/HttpPeer.h"
#include "support/MessageBits.h"
#include "support/SignalGenerator.h"
#include "web/WebView.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
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

// Feeds the web view, as kelvane-decode's events do, when there is one.
class WebEvents : public StationEvents {
public:
    explicit WebEvents(WebView* web) : Web(web) {}
    void Show(const std::string& text, MessageIcon, const std::string&) override
    {
        std::printf("message: %s\n", text.c_str());
    }
    void CounterChanged(Counter, const ReceiveCounters& counters) override
    {
        if (Web != nullptr)
            Web->Model().Counted(counters);
    }
    void LevelChanged(int32_t level) override
    {
        if (Web != nullptr)
            Web->Model().Level(level);
    }
    void MessageDecoded(const DecodedMessage& message) override
    {
        if (Web != nullptr)
            Web->Model().Heard(message.Bits, message.Sentences, message.Origin);
    }
    WebView* Web;
};

uint16_t PortOf(const WebView& web)
{
    const std::string url = web.Url();
    return static_cast<uint16_t>(std::stoi(url.substr(url.rfind(':') + 1)));
}

// A page that reads the stream as fast as it comes and throws it away, as
// a browser on another computer costs this one nothing but the sending.
void DrainStream(uint16_t port, const std::atomic<bool>& reading, std::atomic<int64_t>& bytes)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval wait{0, 100000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET /events HTTP/1.1\r\nHost: x\r\n\r\n";
        if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) > 0) {
            std::vector<char> chunk(1 << 16);
            while (reading) {
                const ssize_t n = recv(fd, chunk.data(), chunk.size(), 0);
                if (n == 0)
                    break;
                if (n > 0)
                    bytes += n;
            }
        }
    }
    close(fd);
}

// Best of three passes through the replay loop.
double Measure(std::span<const uint8_t> bytes, const AudioFormat& format, WebView* web)
{
    double best = 1e30;
    for (int pass = 0; pass < 3; ++pass) {
        WebEvents events(web);
        Station station(events);
        const auto start = Clock::now();
        station.Start(format, {.Demod = Demodulator::Library});
        test::MemorySource source(bytes, format, 8192);
        station.Feed(source);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 300.0;
    const int rate = 48000;
    std::printf("generating %.0f s of traffic at %d Hz on each of two channels...\n", seconds, rate);
    const bench::Traffic left = bench::GenerateTraffic(seconds, rate, 1);
    const bench::Traffic right = bench::GenerateTraffic(seconds, rate, 2);
    const std::vector<uint8_t> stereo = test::Interleave(left.samples, right.samples);
    const AudioFormat format{rate, 2, 8};
    const double audio = static_cast<double>(left.samples.size()) / rate;
    std::printf("%d messages\n", left.messages + right.messages);

    const double plain = Measure(stereo, format, nullptr);
    std::printf("without the web view:      %.3f s, %6.0f x real time\n", plain, audio / plain);

    WebView web;
    WebViewSettings settings;
    settings.Address = "127.0.0.1:0";
    if (const std::string problem = web.Open(settings); !problem.empty()) {
        std::printf("%s\n", problem.c_str());
        return 1;
    }
    const double open = Measure(stereo, format, &web);
    std::printf("web view, no page open:    %.3f s, %6.0f x real time\n", open, audio / open);

    // Ten pages reading the stream as a browser does.
    std::atomic<bool> reading{true};
    std::atomic<int64_t> bytes{0};
    std::vector<std::thread> pages;
    for (int i = 0; i < 10; ++i)
        pages.emplace_back([&] { DrainStream(PortOf(web), reading, bytes); });
    while (web.Counts().StreamsOpened < 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const double watched = Measure(stereo, format, &web);
    std::printf("web view, ten pages:       %.3f s, %6.0f x real time (%.1f%% slower than without)\n", watched,
                audio / watched, 100 * (watched / plain - 1));

    // Latency: a new vessel until a watching page has it, over twenty.
    std::vector<double> latencies;
    {
        test::EventStream page(PortOf(web));
        page.Next();
        for (int i = 0; i < 20; ++i) {
            const std::string mmsi = std::to_string(219000000 + i);
            const auto bits = test::PositionReport(219000000 + i, 56, 11);
            const auto sent = Clock::now();
            web.Model().Heard(bits, "", {});
            for (int tries = 0; tries < 100; ++tries) {
                const test::ServerEvent event = page.Next(2000);
                if (event.Data.find("\"mmsi\":" + mmsi) != std::string::npos) {
                    latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
                    break;
                }
            }
            // Messages arrive at any moment of the update interval.
            std::this_thread::sleep_for(std::chrono::milliseconds(i * 131 % 500));
        }
    }
    reading = false;
    for (auto& page : pages)
        page.join();
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty())
        std::printf("update latency (%zu messages, 500 ms updates): min %.0f ms, median %.0f ms, max %.0f ms\n",
                    latencies.size(), latencies.front(), latencies[latencies.size() / 2], latencies.back());
    std::printf("%.1f MB sent to the ten pages; %lld pages dropped for not reading\n", static_cast<double>(bytes) / 1e6,
                static_cast<long long>(web.Counts().StreamsDropped));
    return 0;
}
