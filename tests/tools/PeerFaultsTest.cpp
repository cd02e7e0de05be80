// Failing peers, for real: each output that fails is reported and the others
// go on delivering every sentence; nothing crashes or hangs.
#include "support/AisPayload.h"
#include "support/LoopbackPeers.h"
#include "support/PtyPair.h"
#include "support/RunProgram.h"
#include "support/SignalGenerator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace kelvane::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class PeerFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = fs::temp_directory_path() /
              ("kelvane-faults-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(Dir);
        // Twenty distinct position reports, 0.1 s apart.
        SignalGenerator gen;
        for (int i = 0; i < 20; ++i) {
            Bytes octets = ArmouredToOctets("13mn4I0P000HEd>RSk<8Vgv406bh");
            octets[5] = static_cast<uint8_t>(i);
            gen.AddSilence(0.1);
            gen.AddTransmission(octets);
        }
        gen.AddSilence(0.1);
        Wav = (Dir / "traffic.wav").string();
        WriteWav(Wav, gen.Render(), 48000);
        Expected = RunProgram(KELVANE_DECODE, {Wav}).out;
    }
    void TearDown() override { fs::remove_all(Dir); }

    static std::string Slurp(const fs::path& path)
    {
        std::ifstream file(path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    static size_t Lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

    fs::path Dir;
    std::string Wav;
    std::string Expected;
};

TEST_F(PeerFaults, SerialLineVanishingMidRun)
{
    ASSERT_EQ(Lines(Expected), 20u);
    PtyPair pty;
    const std::string log = (Dir / "ais.log").string();
    BackgroundProgram decoder(KELVANE_DECODE, {"--serial", pty.Near(), "--log", log, "-"}, {}, true);
    const std::string wav = Slurp(Wav);
    const size_t half = wav.size() / 2;
    ASSERT_TRUE(decoder.WriteInput(wav.data(), half));
    // Wait until the first sentences went out, then pull the line.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Lines(Slurp(log)) < 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::string before = pty.ReadFar(1, 2000);
    EXPECT_FALSE(before.empty()) << "the serial line carried sentences before it went";
    pty.Vanish();
    ASSERT_TRUE(decoder.WriteInput(wav.data() + half, wav.size() - half));
    const ProgramResult result = decoder.Finish(30000);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, Expected) << "standard output has every sentence";
    EXPECT_EQ(Slurp(log), Expected) << "the log has every sentence";
    EXPECT_NE(result.err.find("Unable to write to " + pty.Near() + "!"), std::string::npos) << result.err;
}

TEST_F(PeerFaults, RefusingUdpDestinationAmongGoodOnes)
{
    // Bound, then closed: its port now answers with ICMP.
    const int closedPort = UdpReceiver().Port();
    UdpReceiver good;
    const std::string list = "127.0.0.1:" + std::to_string(closedPort) + ",127.0.0.1:" +
                             std::to_string(good.Port()) + ",127.0.0.1:" +
                             std::to_string(closedPort);
    const std::string log = (Dir / "ais.log").string();
    const ProgramResult result = RunProgram(KELVANE_DECODE, {"--udp", list, "--log", log, Wav});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, Expected);
    EXPECT_EQ(Slurp(log), Expected);
    // Every datagram is there once the program has ended; none more.
    EXPECT_EQ(good.TakeData(Lines(Expected)), Expected);
    EXPECT_TRUE(good.Take(1, std::chrono::milliseconds(0)).empty());
}

TEST_F(PeerFaults, LogOnAFullDisk)
{
    UdpReceiver good;
    const ProgramResult result = RunProgram(
        KELVANE_DECODE, {"--log", "/dev/full", "--udp", "127.0.0.1:" + std::to_string(good.Port()), Wav});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, Expected);
    const std::string report = "Unable to write to log file at /dev/full! No space left on device";
    ASSERT_NE(result.err.find(report), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find(report), result.err.rfind(report)) << "reported once a run";
    EXPECT_EQ(good.TakeData(Lines(Expected)), Expected);
    EXPECT_TRUE(good.Take(1, std::chrono::milliseconds(0)).empty());
}

TEST_F(PeerFaults, LibraryWithoutAnEntryLeavesTheBuiltinToServe)
{
    fs::copy_file(KELVANE_DECODE, Dir / "kelvane-decode");
    fs::copy_file(KELVANE_PARTIAL_LIBRARY, Dir / "libBrinecore.so.1");
    const ProgramResult result = RunProgram((Dir / "kelvane-decode").string(), {Wav});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, Expected);
    EXPECT_NE(result.err.find("The demodulator library libBrinecore.so.1 has no entry AudioToBytes."),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("PreSyncs: 20\n"), std::string::npos) << "the built-in served";
}

}  // namespace
}  // namespace kelvane::test
