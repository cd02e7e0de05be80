// kelvane-decode's web view as a station's operator and a script see it.
#include "support/HttpPeer.h"
#include "support/LoopbackPeers.h"
#include "support/RunProgram.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace kelvane::test {
namespace {

using Json = nlohmann::json;

const std::string Decoder = KELVANE_DECODE;
const std::string Stereo = std::string(KELVANE_TEST_AUDIO_DIR) + "/bergen-48k-s16-stereo.wav";

// Waits for the program to say text on standard error; its port then.
uint16_t WaitFor(const BackgroundProgram& program, const std::string& text)
{
    for (int i = 0; i < 400; ++i) {
        const std::string said = program.ErrorSoFar();
        if (said.find(text) != std::string::npos)
            return WebViewPort(said);
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ADD_FAILURE() << "never said " << text << ": " << program.ErrorSoFar();
    return 0;
}

std::set<int64_t> MmsisOf(const std::string& jsonLines)
{
    std::set<int64_t> mmsis;
    std::istringstream lines(jsonLines);
    for (std::string line; std::getline(lines, line);)
        mmsis.insert(Json::parse(line)["mmsi"].get<int64_t>());
    return mmsis;
}

// "Name: N" from the summary.
int Summary(const std::string& err, const std::string& name)
{
    const size_t at = err.find("\n" + name + ": ");
    return at == std::string::npos ? -1 : std::atoi(err.c_str() + at + name.size() + 3);
}

// A script reads the same messages from the API as from --json, and the
// counts of the summary.
TEST(KelvaneDecodeWeb, ApiAgreesWithJsonAndTheSummary)
{
    BackgroundProgram program(Decoder, {"--json", "--http", "127.0.0.1:0", "--keep-serving", "--station", "60.39,5.32", Stereo});
    const uint16_t port = WaitFor(program, "serving the web view until interrupted");
    ASSERT_NE(port, 0);
    const std::string json = program.OutputSoFar();
    const std::string err = program.ErrorSoFar();
    ASSERT_FALSE(json.empty());

    const HttpAnswer messages = HttpGet(port, "/api/messages?limit=500");
    EXPECT_EQ(messages.Status, 200);
    EXPECT_NE(messages.Head.find("application/x-ndjson"), std::string::npos);
    EXPECT_EQ(messages.Body, json);

    const Json status = Json::parse(HttpGet(port, "/api/status").Body);
    for (const auto& [name, member] : {std::pair{"Syncs", "syncs"}, {"Valid", "valid"}, {"Errors", "errors"},
                                       {"1, 2, 3", "types_1_3"}, {"Other", "types_other"},
                                       {"Valid A", "valid_a"}, {"Valid B", "valid_b"}})
        EXPECT_EQ(status["counters"][member], Summary(err, name)) << name;
    EXPECT_EQ(status["stream"]["receivers"], 2);
    EXPECT_EQ(status["station"]["lon"], 5.32);

    const Json vessels = Json::parse(HttpGet(port, "/api/vessels").Body);
    std::set<int64_t> listed;
    for (const Json& v : vessels) {
        listed.insert(v["mmsi"].get<int64_t>());
        EXPECT_EQ(v["channels"], "AB") << v;
        EXPECT_TRUE(v.contains("distance")) << v;
    }
    EXPECT_EQ(listed, MmsisOf(json));

    const ProgramResult result = program.Stop(SIGTERM);
    EXPECT_EQ(result.exitCode, 0) << result.err;
}

// The recording comes in slowly on standard input while fifty viewers come
// and go and one stays: the messages decoded are those of a run without
// the web view, and the one that stayed saw them arrive.
TEST(KelvaneDecodeWeb, ViewersComeAndGoWhileTheRecordingStreamsIn)
{
    const ProgramResult plain = RunProgram(Decoder, {"--json", Stereo});
    ASSERT_EQ(plain.exitCode, 0);

    std::ifstream file(Stereo, std::ios::binary);
    const std::string wav((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    BackgroundProgram program(Decoder, {"--json", "--http", "127.0.0.1:0", "--keep-serving", "-"}, {}, true);
    const uint16_t port = WaitFor(program, "web view on");
    ASSERT_NE(port, 0);
    EventStream staying(port);
    ASSERT_EQ(staying.Next().Name, "snapshot");

    std::atomic<bool> streaming{true};
    std::atomic<int> served{0};
    std::vector<std::thread> viewers;
    for (int c = 0; c < 50; ++c)
        viewers.emplace_back([&] {
            for (int round = 0; round < 3; ++round) {
                EventStream stream(port);
                if (stream.Next().Name == "snapshot")
                    ++served;
                if (HttpGet(port, "/api/vessels").Status == 200)
                    ++served;
            }
        });
    std::set<int64_t> seenLive;  // the watcher's until it is joined
    std::atomic<size_t> seenCount{0};
    std::thread watcher([&] {
        while (streaming) {
            const ServerEvent event = staying.Next(200);
            if (event.Name != "update")
                continue;
            const Json update = Json::parse(event.Data);
            for (const Json& v : update["vessels"])
                seenLive.insert(v["mmsi"].get<int64_t>());
            seenCount = seenLive.size();
        }
    });
    const size_t chunks = 40;
    const size_t size = (wav.size() + chunks - 1) / chunks;
    for (size_t at = 0; at < wav.size(); at += size) {
        ASSERT_TRUE(program.WriteInput(wav.data() + at, std::min(size, wav.size() - at)));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (auto& viewer : viewers)
        viewer.join();
    // The last update, with whatever the end of the recording brought.
    for (int i = 0; i < 200 && seenCount < MmsisOf(plain.out).size(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    streaming = false;
    watcher.join();
    const ProgramResult result = program.Stop(SIGTERM);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, plain.out) << result.err;
    EXPECT_EQ(served, 300);
    EXPECT_EQ(seenLive, MmsisOf(plain.out));
}

}  // namespace
}  // namespace kelvane::test
