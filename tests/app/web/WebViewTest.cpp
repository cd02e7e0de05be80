#include "web/WebView.h"

#include "ais/AisDecoder.h"
#include "support/HttpPeer.h"
#include "support/MessageBits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace kelvane::test {
namespace {

// What AIS's six-bit characters can carry into a page: a ship's name (20
// characters), an aid to navigation's (34), a call sign.
constexpr std::string_view HostileName = "<SVG ONLOAD=ALERT()>";
constexpr std::string_view HostileAidName = "<IMG SRC=X ONERROR=ALERT(1)>";
constexpr std::string_view HostileCallsign = "\"&'<>";

MessageOrigin OnChannel(RadioChannel channel, double levelDb = -12.5, double snrDb = std::nan(""))
{
    return {channel, levelDb, snrDb};
}

Json ParsedBody(const HttpAnswer& answer)
{
    return Json::parse(answer.Body, nullptr, false);
}

class WebViewTest : public ::testing::Test {
protected:
    // A clock the test moves: Unix seconds.
    std::atomic<double> Now{1'700'000'000.0};
    WebView View{[this] { return Now.load(); }};

    uint16_t Open(WebViewSettings settings = {})
    {
        if (settings.Address.empty())
            settings.Address = "127.0.0.1:0";
        const std::string problem = View.Open(settings);
        EXPECT_EQ(problem, "");
        const std::string url = View.Url();
        return static_cast<uint16_t>(std::stoi(url.substr(url.rfind(':') + 1)));
    }
    // Connections are let go on the server's thread just after their end.
    void ExpectAllLetGo()
    {
        for (int i = 0; i < 200 && View.Counts().Open > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(View.Counts().Open, 0) << "every connection let go";
    }
    void Hear(const std::vector<int32_t>& bits, const MessageOrigin& origin = OnChannel(RadioChannel::A))
    {
        View.Model().Heard(bits, "!AIVDM,1,1,,A,x,0*00\r\n", origin);
    }
};

TEST(WebAddress, TakesPortsAndAddressesAsTheTcpServerDoes)
{
    for (const char* good : {"8080", "0", "127.0.0.1:8080", "0.0.0.0:80", "[::1]:8080", "[::]:0"})
        EXPECT_EQ(WebAddressProblem(good), "") << good;
    for (const char* bad : {"", "99999", "-1", "::1:8080", "host:80", "127.0.0.1:", "8080x", "1.2.3:80"})
        EXPECT_NE(WebAddressProblem(bad), "") << bad;
}

// Only what the page needs is answered; everything else is refused without
// harm, and a client that never finishes its request is let go.
TEST_F(WebViewTest, ServesThePageAndRefusesEverythingElse)
{
    WebViewSettings settings;
    settings.Limits.RequestTimeout = std::chrono::milliseconds(200);
    const uint16_t port = Open(settings);
    EXPECT_EQ(View.Url(), "http://127.0.0.1:" + std::to_string(port) + "/");

    const HttpAnswer page = HttpGet(port, "/");
    EXPECT_EQ(page.Status, 200);
    EXPECT_NE(page.Head.find("Content-Type: text/html"), std::string::npos);
    EXPECT_NE(page.Body.find("/app.js"), std::string::npos);
    // A page that runs only its own scripts, in no one else's frame.
    EXPECT_NE(page.Head.find("script-src 'self'"), std::string::npos);
    EXPECT_NE(page.Head.find("X-Content-Type-Options: nosniff"), std::string::npos);
    for (const char* asset : {"/app.js", "/style.css", "/vendor/leaflet/leaflet.js", "/vendor/uplot/uPlot.iife.min.js",
                              "/vendor/topojson-client/topojson-client.min.js", "/vendor/leaflet/LICENSE"})
        EXPECT_EQ(HttpGet(port, asset).Status, 200) << asset;
    const HttpAnswer land = HttpGet(port, "/vendor/world-atlas/land-50m.json");
    EXPECT_EQ(land.Status, 200);
    EXPECT_TRUE(ParsedBody(land).contains("objects")) << "the whole outline, " << land.Body.size() << " bytes";

    const HttpAnswer head = HttpExchange(port, "HEAD / HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(head.Status, 200);
    EXPECT_EQ(head.Body, "");
    EXPECT_NE(head.Head.find("Content-Length: " + std::to_string(page.Body.size())), std::string::npos);

    // Nothing changes anything.
    for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS"}) {
        const HttpAnswer refused =
            HttpExchange(port, std::string(method) + " /api/status HTTP/1.1\r\nContent-Length: 2\r\n\r\n{}");
        EXPECT_EQ(refused.Status, 405) << method;
        EXPECT_NE(refused.Head.find("Allow: GET, HEAD"), std::string::npos);
    }
    for (const char* missing : {"/nothing", "/../../etc/passwd", "/vendor/../app.js", "/api/vessels/x", "/api/vessels/1"})
        EXPECT_EQ(HttpGet(port, missing).Status, 404) << missing;
    EXPECT_EQ(HttpExchange(port, "GET\r\n\r\n").Status, 400);
    EXPECT_EQ(HttpExchange(port, "GET nothing HTTP/1.1\r\n\r\n").Status, 400);
    EXPECT_EQ(HttpExchange(port, "GET / SMTP\r\n\r\n").Status, 400);
    EXPECT_EQ(HttpExchange(port, "GET / HTTP/1.1\r\nX: " + std::string(20000, 'a') + "\r\n\r\n").Status, 431);

    // Half a request, then nothing: closed after the request timeout.
    const HttpAnswer silent = HttpExchange(port, "GET / HT", 10000);
    EXPECT_EQ(silent.Status, 0);
    ExpectAllLetGo();
}

TEST_F(WebViewTest, ApiTellsWhatWasHeardAsJsonDoes)
{
    WebViewSettings settings;
    settings.Station = Position{60.0, 5.0};
    const uint16_t port = Open(settings);

    const auto voyage = StaticVoyage(257000001, HostileName, HostileCallsign, "BERGEN&<X>");
    Hear(PositionReport(257000001, 60.1, 5.0, 12.3, 45.6, 44), OnChannel(RadioChannel::A, -20.25));
    Now = Now + 61;
    Hear(voyage, OnChannel(RadioChannel::B, -8.0, 21.5));
    Now = Now + 1;
    Hear(PositionReport(244000002, 59.9, 5.2), OnChannel(RadioChannel::B));
    ReceiveCounters counters;
    counters.SyncCount = 4;
    counters.ValidCount = 3;
    counters.ValidCountA = 1;
    counters.ValidCountB = 2;
    View.Model().Counted(counters);
    View.Model().Level(200);
    View.Model().StreamStarted({"burst", 2, 48000});

    // The messages, byte for byte as --json writes them.
    const HttpAnswer messages = HttpGet(port, "/api/messages");
    EXPECT_EQ(messages.Status, 200);
    const std::string voyageLine = DumpJson(MessageJson(*DecodeAisMessage(voyage), OnChannel(RadioChannel::B, -8.0, 21.5)));
    EXPECT_NE(messages.Body.find("\n" + voyageLine + "\n"), std::string::npos) << messages.Body;
    EXPECT_NE(voyageLine.find("\"snr_db\":21.5"), std::string::npos);
    EXPECT_EQ(std::count(messages.Body.begin(), messages.Body.end(), '\n'), 3);
    const std::string newest = HttpGet(port, "/api/messages?limit=1").Body;
    EXPECT_EQ(std::count(newest.begin(), newest.end(), '\n'), 1);
    EXPECT_NE(newest.find("\"mmsi\":244000002"), std::string::npos);

    // The vessels with gpsd's names; texts exactly as sent, markup and all.
    const Json vessels = ParsedBody(HttpGet(port, "/api/vessels"));
    ASSERT_TRUE(vessels.is_array()) << vessels;
    ASSERT_EQ(vessels.size(), 2u);
    EXPECT_EQ(vessels[0]["mmsi"], 244000002) << "the most recently heard first";
    const Json& ship = vessels[1];
    EXPECT_EQ(ship["mmsi"], 257000001);
    EXPECT_EQ(ship["shipname"], HostileName);
    EXPECT_EQ(ship["callsign"], HostileCallsign);
    EXPECT_EQ(ship["destination"], "BERGEN&<X>");
    EXPECT_EQ(ship["shiptype"], 70);
    EXPECT_EQ(ship["kind"], "Cargo");
    EXPECT_EQ(ship["speed"], 12.3);
    EXPECT_EQ(ship["heading"], 44);
    EXPECT_EQ(ship["channels"], "AB");
    EXPECT_EQ(ship["messages"], 2);
    EXPECT_EQ(ship["signal_db"], -8.0);
    // 0.1 degree of latitude due north: six nautical miles.
    EXPECT_NEAR(ship["distance"].get<double>(), 6.0, 0.01);
    EXPECT_NEAR(ship["bearing"].get<double>(), 0.0, 0.1);
    EXPECT_EQ(ship["track"].size(), 1u);

    Hear(AidToNavigation(992576001, HostileAidName, 60.2, 5.1), OnChannel(RadioChannel::A));
    const Json aid = ParsedBody(HttpGet(port, "/api/vessels/992576001"));
    EXPECT_EQ(aid["shipname"], HostileAidName);
    EXPECT_EQ(aid["kind"], "Aid to navigation");

    const Json details = ParsedBody(HttpGet(port, "/api/vessels/257000001"));
    EXPECT_EQ(details["fields"]["shipname"], HostileName);
    EXPECT_EQ(details["fields"]["imo"], 9123456);
    EXPECT_EQ(details["sentences"].size(), 2u);

    const Json status = ParsedBody(HttpGet(port, "/api/status"));
    EXPECT_EQ(status["counters"]["syncs"], 4);
    EXPECT_EQ(status["counters"]["valid_b"], 2);
    EXPECT_EQ(status["stream"]["demodulator"], "burst");
    EXPECT_EQ(status["channels"]["B"]["messages"], 2);
    EXPECT_EQ(status["channels"]["B"]["types"]["5"], 1);
    EXPECT_EQ(status["channels"]["A"]["types"]["1-3"], 1);
    EXPECT_EQ(status["channels"]["A"]["types"]["other"], 1);
    EXPECT_EQ(status["level"], 200);
    EXPECT_EQ(status["station"]["lat"], 60.0);

    const Json plots = ParsedBody(HttpGet(port, "/api/plots"));
    const auto& a = plots["per_minute"]["A"];
    const auto& b = plots["per_minute"]["B"];
    ASSERT_EQ(a.size(), static_cast<size_t>(WebModel::PlotMinutes));
    EXPECT_EQ(b[b.size() - 1], 2) << "both B messages in the current minute";
    EXPECT_EQ(a[a.size() - 2], 1) << "the A message a minute before";
    EXPECT_EQ(plots["level_db"]["counts"][-8 - WebModel::LevelLowDb], 1);
    EXPECT_EQ(plots["level_db"]["counts"][-21 - WebModel::LevelLowDb], 1) << "-20.25 dB in the bin below -20";
    EXPECT_EQ(plots["snr_db"]["counts"][21], 1);

    // Six hours on, the old minutes have left the plot.
    Now = Now + 6 * 3600;
    Hear(PositionReport(244000002, 59.9, 5.2), OnChannel(RadioChannel::A));
    const Json later = ParsedBody(HttpGet(port, "/api/plots"));
    int total = 0;
    for (const auto& channel : later["per_minute"])
        for (const auto& n : channel)
            total += n.get<int>();
    EXPECT_EQ(total, 1);
}

TEST_F(WebViewTest, KeepsTheLastMessagesPositionsAndDaysOnly)
{
    const uint16_t port = Open();
    for (int i = 0; i < 600; ++i)
        Hear(PositionReport(211000000 + i % 2, 54 + i * 0.001, 10));
    std::istringstream all(HttpGet(port, "/api/messages?limit=100000").Body);
    size_t lines = 0;
    for (std::string line; std::getline(all, line);)
        ++lines;
    EXPECT_EQ(lines, WebModel::KeptMessages);
    const Json vessel = ParsedBody(HttpGet(port, "/api/vessels/211000001"));
    EXPECT_EQ(vessel["track"].size(), WebModel::TrackPoints);
    EXPECT_EQ(vessel["track"].back()[0], vessel["lat"]) << "the newest point last";

    // A day later the vessels not heard since have left the list.
    Now = Now + WebModel::ForgetAfterSeconds + 1;
    Hear(PositionReport(211000009, 54, 10));
    const Json vessels = ParsedBody(HttpGet(port, "/api/vessels"));
    ASSERT_EQ(vessels.size(), 1u);
    EXPECT_EQ(vessels[0]["mmsi"], 211000009);
    EXPECT_EQ(HttpGet(port, "/api/vessels/211000001").Status, 404);
}

TEST_F(WebViewTest, StreamsASnapshotThenWhatChanged)
{
    WebViewSettings settings;
    settings.UpdateInterval = std::chrono::milliseconds(100);
    const uint16_t port = Open(settings);
    Hear(PositionReport(257000001, 60, 5));

    EventStream stream(port);
    const ServerEvent snapshot = stream.Next();
    ASSERT_EQ(snapshot.Name, "snapshot");
    EXPECT_NE(stream.Head().find("Content-Type: text/event-stream"), std::string::npos);
    const Json first = Json::parse(snapshot.Data);
    ASSERT_EQ(first["vessels"].size(), 1u);

    // A burst of fifty new vessels comes as a few updates, not fifty.
    for (int i = 0; i < 50; ++i)
        Hear(PositionReport(230000000 + i, 60, 5 + i * 0.01));
    std::set<int64_t> seen;
    int updates = 0;
    while (seen.size() < 50 && updates < 50) {
        const ServerEvent event = stream.Next();
        ASSERT_EQ(event.Name, "update");
        ++updates;
        const Json update = Json::parse(event.Data);
        for (const Json& v : update["vessels"])
            if (v["mmsi"] != 257000001)
                seen.insert(v["mmsi"].get<int64_t>());
        EXPECT_TRUE(update.contains("status"));
    }
    EXPECT_EQ(seen.size(), 50u);
    EXPECT_LT(updates, 50);

    // What came after the last update still reaches the page as the view
    // closes, at the end of a recording.
    Hear(PositionReport(257000002, 61, 5));
    std::thread closing([&] { View.Close(); });
    bool last = false;
    for (ServerEvent event = stream.Next(); !event.Name.empty() && !last; event = stream.Next())
        last = event.Data.find("257000002") != std::string::npos;
    closing.join();
    EXPECT_TRUE(last);
    EXPECT_TRUE(stream.ClosedByServer());
}

// A browser that stops reading costs only its own stream: it is dropped
// once its queue is full, the feed goes on, and the others keep theirs.
TEST_F(WebViewTest, DropsAStreamThatStopsReading)
{
    WebViewSettings settings;
    settings.UpdateInterval = std::chrono::milliseconds(5);
    settings.Limits.StreamQueueBytes = 64 * 1024;
    const uint16_t port = Open(settings);
    EventStream stalled(port, 2048);
    EventStream reading(port);
    ASSERT_EQ(reading.Next().Name, "snapshot");

    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done)
            reading.Next(200);
    });
    const std::string longName(20, 'W');
    for (int round = 0; round < 400 && View.Counts().StreamsDropped == 0; ++round) {
        for (int i = 0; i < 200; ++i)
            Hear(StaticVoyage(300000000 + round * 200 + i, longName, "CALL", longName));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    done = true;
    reader.join();
    EXPECT_EQ(View.Counts().StreamsDropped, 1);
    EXPECT_TRUE(stalled.ClosedByServer());

    // The reader's stream is still up and current.
    Hear(PositionReport(257999999, 60, 5));
    bool heard = false;
    for (int i = 0; i < 200 && !heard; ++i) {
        const ServerEvent event = reading.Next();
        ASSERT_EQ(event.Name, "update");
        heard = event.Data.find("257999999") != std::string::npos;
    }
    EXPECT_TRUE(heard);
}

// Fifty viewers coming and going while messages arrive: each is served,
// none is left behind when they have gone, and a viewer past the limit is
// told so.
TEST_F(WebViewTest, FiftyClientsComeAndGo)
{
    WebViewSettings settings;
    settings.UpdateInterval = std::chrono::milliseconds(20);
    settings.Limits.MaxStreams = 60;
    const uint16_t port = Open(settings);
    std::atomic<bool> feeding{true};
    std::thread feed([&] {
        for (int i = 0; feeding && i < 100000; ++i) {
            Hear(PositionReport(240000000 + i % 300, 55, 10 + (i % 300) * 0.001));
            if (i % 50 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::atomic<int> snapshots{0};
    std::atomic<int> statuses{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 50; ++c)
        clients.emplace_back([&] {
            for (int round = 0; round < 3; ++round) {
                EventStream stream(port);
                if (stream.Next().Name == "snapshot")
                    ++snapshots;
                stream.Next(2000);
                if (HttpGet(port, "/api/status").Status == 200)
                    ++statuses;
            }
        });
    for (auto& client : clients)
        client.join();
    feeding = false;
    feed.join();
    EXPECT_EQ(snapshots, 150);
    EXPECT_EQ(statuses, 150);
    EXPECT_EQ(View.Counts().StreamsOpened, 150);
    ExpectAllLetGo();

    std::vector<std::unique_ptr<EventStream>> many;
    for (int i = 0; i < 60; ++i) {
        many.push_back(std::make_unique<EventStream>(port));
        ASSERT_EQ(many.back()->Next().Name, "snapshot");
    }
    EventStream oneTooMany(port);
    EXPECT_EQ(oneTooMany.Next().Name, "");
    EXPECT_NE(oneTooMany.Head().find("503"), std::string::npos);
}

TEST_F(WebViewTest, OpeningFailsWithTheReason)
{
    const uint16_t port = Open();
    WebView second;
    WebViewSettings taken;
    taken.Address = "127.0.0.1:" + std::to_string(port);
    const std::string problem = second.Open(taken);
    EXPECT_NE(problem.find("127.0.0.1:" + std::to_string(port)), std::string::npos) << problem;
    EXPECT_FALSE(second.IsOpen());
    taken.Address = "nonsense";
    EXPECT_NE(second.Open(taken), "");
    // Closing and opening again serves anew.
    View.Close();
    EXPECT_EQ(HttpGet(port, "/", 1000).Status, 0);
    const uint16_t again = Open();
    EXPECT_EQ(HttpGet(again, "/api/status").Status, 200);
}

}  // namespace
}  // namespace kelvane::test
