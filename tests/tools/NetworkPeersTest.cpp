// kelvane-decode's network outputs with real peers: gpsd as a TCP client of
// the server, reading tagged sentences.
#include "support/LoopbackPeers.h"
#include "support/RunProgram.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <thread>

namespace kelvane::test {
namespace {

bool Eventually(const std::function<bool()>& condition)
{
    for (int i = 0; i < 100 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return condition();
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size())
        ++n;
    return n;
}

TEST(NetworkPeers, GpsdAsAClientOfTheTcpServerReadsTheTaggedReportsOfARecording)
{
    const std::string wav = std::string(KELVANE_TEST_AUDIO_DIR) + "/bergen-48k-u8.wav";
    std::ifstream file(wav, std::ios::binary);
    const std::string audio((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::string server = "127.0.0.1:" + std::to_string(FreeTcpPort());
    const std::string gpsdPort = std::to_string(FreeTcpPort());

    // The recording comes through standard input (its size left open), the
    // audio once gpsd is connected and its own client watches.
    BackgroundProgram decoder(KELVANE_DECODE, {"--tcp-server", server, "--tag-blocks", "bergen", "-"}, {}, true);
    std::string header = audio.substr(0, 44);
    header.replace(40, 4, std::string(4, '\0'));
    ASSERT_TRUE(decoder.WriteInput(header.data(), header.size()));
    ASSERT_TRUE(Eventually([&] { return decoder.ErrorSoFar().find("listening on") != std::string::npos; }))
        << decoder.ErrorSoFar();
    BackgroundProgram gpsd("/usr/sbin/gpsd", {"-N", "-n", "-S", gpsdPort, "tcp://" + server});
    ASSERT_TRUE(Eventually([&] { return decoder.ErrorSoFar().find(" connected") != std::string::npos; }))
        << decoder.ErrorSoFar();
    BackgroundProgram pipe("/usr/bin/gpspipe", {"-w", "127.0.0.1:" + gpsdPort});
    // gpsd answers a watch with a WATCH object: from then on it forwards.
    ASSERT_TRUE(Eventually([&] { return pipe.OutputSoFar().find("\"class\":\"WATCH\"") != std::string::npos; }))
        << pipe.OutputSoFar();
    ASSERT_TRUE(decoder.WriteInput(audio.data() + 44, audio.size() - 44));
    const ProgramResult decoded = decoder.Finish();
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    const size_t messages = Count(decoded.out, "!AIVDM");
    ASSERT_GE(messages, 4u);
    EXPECT_EQ(Count(decoded.out, "\\s:bergen,c:"), messages) << decoded.out;

    EXPECT_TRUE(Eventually([&] { return Count(pipe.OutputSoFar(), "\"class\":\"AIS\"") == messages; }))
        << pipe.OutputSoFar();
    EXPECT_NE(pipe.OutputSoFar().find("\"mmsi\":2573235"), std::string::npos);
    EXPECT_NE(decoded.err.find("TCP server: " + std::to_string(messages) + " messages sent"), std::string::npos)
        << decoded.err;
    pipe.Stop(SIGTERM);
    gpsd.Stop(SIGTERM);
}

// A client that connects while the decoder waits for its input is accepted
// at once and gets every message decoded after that, the first included.
TEST(NetworkPeers, AClientThatConnectsWhileTheDecoderWaitsForInputGetsEveryLaterMessage)
{
    const std::string wav = std::string(KELVANE_TEST_AUDIO_DIR) + "/bergen-48k-u8.wav";
    std::ifstream file(wav, std::ios::binary);
    const std::string audio((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const uint16_t port = FreeTcpPort();
    BackgroundProgram decoder(KELVANE_DECODE, {"--tcp-server", "127.0.0.1:" + std::to_string(port), "-"}, {},
                              true);
    ASSERT_TRUE(decoder.WriteInput(audio.data(), 44));
    ASSERT_TRUE(Eventually([&] { return decoder.ErrorSoFar().find("listening on") != std::string::npos; }))
        << decoder.ErrorSoFar();
    TcpReader plotter(port);
    ASSERT_TRUE(plotter.Connected());
    // Nothing more comes in until the decoder has said so.
    ASSERT_TRUE(Eventually([&] { return decoder.ErrorSoFar().find(" connected") != std::string::npos; }))
        << decoder.ErrorSoFar();
    ASSERT_TRUE(decoder.WriteInput(audio.data() + 44, audio.size() - 44));
    const ProgramResult decoded = decoder.Finish();
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    ASSERT_GE(Count(decoded.out, "!AIVDM"), 4u);
    EXPECT_EQ(plotter.Read(decoded.out.size()), decoded.out);
}

}  // namespace
}  // namespace kelvane::test
