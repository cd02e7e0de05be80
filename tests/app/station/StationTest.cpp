// The station without any window or toolkit: its outputs against real peers
// (a pty pair for the serial line, a log file, UDP and TCP on the loopback),
// and what it tells its front end.
#include "station/Station.h"

#include "support/AisPayload.h"
#include "support/ChainRig.h"
#include "support/LoopbackPeers.h"
#include "support/PtyPair.h"
#include "support/SignalGenerator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace kelvane::test {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

struct ScratchDir {
    ScratchDir() : Path(fs::temp_directory_path() / ("kelvane-station-" + std::to_string(getpid())))
    {
        fs::create_directories(Path);
    }
    ~ScratchDir() { fs::remove_all(Path); }
    fs::path Path;
};

std::vector<std::string> Data(const std::vector<std::pair<std::string, std::string>>& datagrams)
{
    std::vector<std::string> data;
    for (const auto& d : datagrams)
        data.push_back(d.second);
    return data;
}

// Delivers the station's waiting events until the condition holds, for up
// to ten seconds.
bool Until(Station& station, const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        station.DeliverEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Ten position reports and a static report of two sentences, on the air.
std::vector<uint8_t> Air()
{
    SignalGenerator gen;
    for (int i = 0; i < 10; ++i) {
        gen.AddSilence(0.02);
        std::string report = "13mn4I0P000HEd>RSk<8Vgv406bh";
        report[20] = static_cast<char>('0' + i);
        gen.AddTransmission(ArmouredToOctets(report));
    }
    gen.AddSilence(0.02);
    gen.AddTransmission(ArmouredToOctets(
        "55?MbV02;H;s<HtKR20EHE:0@T4@Dn2222222216L961O5Gf0NSQEp6ClRp888888888880", 2));
    gen.AddSilence(0.05);
    return gen.Render();
}

TEST(Station, OutputsThatCannotOpenAreReportedInOrderAndTheOthersRun)
{
    ScratchDir dir;
    RecordingEvents events;
    Station station(events);
    OutputSettings bad;
    bad.Serial = bad.Log = bad.Udp = bad.TcpServer = bad.TcpClient = bad.TagBlocks = true;
    bad.SerialPort = "/dev/kelvane-no-such-port";
    bad.LogPath = (dir.Path / "no-such-folder" / "ais.log").string();
    bad.UdpList = "127.0.0.1:2000,bad";
    bad.TcpServerAddress = "nonsense";
    bad.TcpClientTarget = "no-port";
    bad.StationName = "my boat";
    station.OpenOutputs(bad);
    std::vector<std::string> texts;
    for (const ShownMessage& m : events.Shown)
        texts.push_back(m.text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Com Port /dev/kelvane-no-such-port not available. Use Serial settings (on "
                         "the main menu) to setup your ports.",
                         "Unable to open /dev/kelvane-no-such-port!",
                         "Unable to open log file at " + bad.LogPath + "!",
                         "Invalid IP:Port values specified!",
                         "Invalid TCP server address nonsense! Give a port, or ADDRESS:PORT.",
                         "Invalid TCP target no-port! Give HOST:PORT.",
                         "The station name my boat may hold only letters, digits, '-', '_' and '.'. "
                         "Tag blocks are off."}));
    std::vector<OutputKind> failed;
    for (const OutputFailure& f : events.Failures) {
        failed.push_back(f.Output);
        EXPECT_EQ(f.Problem.find("Use Serial settings"), std::string::npos) << f.Problem;
    }
    EXPECT_EQ(failed, (std::vector<OutputKind>{OutputKind::Serial, OutputKind::Log, OutputKind::Udp,
                                               OutputKind::TcpServer, OutputKind::TcpClient,
                                               OutputKind::TagBlocks}));
    station.CloseOutputs();

    // A failed serial port and TCP server leave the log and UDP to run.
    UdpReceiver udp;
    OutputSettings some = bad;
    some.LogPath = (dir.Path / "ais.log").string();
    some.UdpList = "127.0.0.1:" + std::to_string(udp.Port());
    some.TcpClient = some.TagBlocks = false;
    events.Failures.clear();
    station.OpenOutputs(some);
    ASSERT_EQ(events.Failures.size(), 2u);
    station.Start({48000, 1, 8}, {.Demod = Demodulator::Library});
    const std::vector<uint8_t> air = Air();
    MemorySource source(air, {48000, 1, 8}, BlockFrames);
    station.Feed(source);
    station.CloseOutputs();
    ASSERT_EQ(events.Blocks.size(), 11u);
    EXPECT_EQ(Slurp(dir.Path / "ais.log"), events.All());
    EXPECT_EQ(Data(udp.Take(11)), events.Blocks);
}

TEST(Station, EveryOutputGetsTheSameMessagesAndTheSerialPortNoTagBlocks)
{
    ScratchDir dir;
    PtyPair pty;
    UdpReceiver udp1, udp2;
    TcpListener aggregator;
    RecordingEvents events;
    Station station(events);
    station.TagClock() = [] { return int64_t{1765267200}; };
    OutputSettings all;
    all.Serial = all.Log = all.Udp = all.TcpServer = all.TcpClient = all.TagBlocks = true;
    all.SerialPort = pty.Near();
    all.LogPath = (dir.Path / "ais.log").string();
    all.UdpList = "127.0.0.1:" + std::to_string(udp1.Port()) + ", 127.0.0.1:" + std::to_string(udp2.Port());
    const uint16_t serverPort = FreeTcpPort();
    all.TcpServerAddress = "127.0.0.1:" + std::to_string(serverPort);
    all.TcpClientTarget = "127.0.0.1:" + std::to_string(aggregator.Port());
    all.StationName = "test-1";
    station.OpenOutputs(all);
    ASSERT_TRUE(events.Failures.empty()) << events.Failures[0].Problem;

    TcpReader plotter(serverPort), tablet(serverPort);
    ASSERT_TRUE(plotter.Connected() && tablet.Connected());
    ASSERT_TRUE(aggregator.Accept());
    // Both clients are served from the moment they are accepted.
    ASSERT_TRUE(Until(station, [&] { return !events.ClientCounts.empty() && events.ClientCounts.back() == 2; }));
    ASSERT_TRUE(Until(station, [&] { return events.ClientStates.size() == 2; }));
    EXPECT_EQ(events.ClientStates[1].rfind("connected", 0), 0u) << events.ClientStates[1];

    station.Start({48000, 1, 8}, {.Demod = Demodulator::Library});
    const std::vector<uint8_t> air = Air();
    MemorySource source(air, {48000, 1, 8}, BlockFrames);
    station.Feed(source);
    station.CloseOutputs();

    ASSERT_EQ(events.Blocks.size(), 11u);
    std::string sentences, logged;
    for (size_t i = 0; i < events.Blocks.size(); ++i) {
        sentences += events.Blocks[i];
        logged += events.Logged[i];
        EXPECT_EQ(events.Logged[i].rfind("\\s:test-1,c:1765267200", 0), 0u) << events.Logged[i];
    }
    EXPECT_EQ(pty.ReadFar(sentences.size()), sentences);
    EXPECT_EQ(Slurp(all.LogPath), logged);
    EXPECT_EQ(Data(udp1.Take(11)), events.Logged);
    EXPECT_EQ(Data(udp2.Take(11)), events.Logged);
    EXPECT_EQ(plotter.Read(logged.size()), logged);
    EXPECT_EQ(tablet.Read(logged.size()), logged);
    EXPECT_EQ(aggregator.Read(logged.size()), logged);
    const OutputStats stats = station.Stats();
    EXPECT_EQ(stats.UdpSent, 22);
    EXPECT_EQ(stats.TcpServerClientsServed, 2);
    EXPECT_EQ(stats.TcpClientBlocksSent, 11);
    EXPECT_TRUE(events.Shown.empty()) << events.Shown[0].text;
}

}  // namespace
}  // namespace kelvane::test
