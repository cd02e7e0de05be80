#include "support/AisPayload.h"
#include "support/NmeaCorpus.h"
#include "support/RunProgram.h"
#include "support/SignalGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// The number kelvane-decode gives the "pulse" input, or "" when it lists none.
std::string PulseDevice()
{
    const ProgramResult list = RunProgram(KELVANE_DECODE, {"--list-devices"});
    std::istringstream lines(list.out);
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 3 && line.substr(line.find(':') + 2) == "pulse")
            return line.substr(0, line.find(':'));
    return {};
}

// Real audio end to end: a generated recording is played into PulseAudio's
// null sink "kelvane_null" (tests/support/pulse-null-sink.sh makes it) while
// kelvane-decode records the sink's monitor through PortAudio.
TEST(LiveCapture, SentencesDecodedLiveEqualThoseOfTheReplay)
{
    const ProgramResult server = RunProgram("/usr/bin/pactl", {"list", "short", "sinks"});
    ASSERT_EQ(server.exitCode, 0)
        << "no PulseAudio server answers; tests/support/pulse-null-sink.sh starts one "
           "(./build.sh test runs it)\n"
        << server.err;
    ASSERT_NE(server.out.find("kelvane_null"), std::string::npos)
        << "the null sink kelvane_null is missing; run tests/support/pulse-null-sink.sh";

    const std::string device = PulseDevice();
    ASSERT_FALSE(device.empty()) << "PortAudio lists no \"pulse\" input";

    const fs::path dir = fs::temp_directory_path() / ("kelvane-live-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string wav = (dir / "air.wav").string();
    SignalGenerator gen;
    gen.AddSilence(0.5);
    size_t count = 0;
    for (const AisMessage& m : ReadAivdmMessages(std::string(KELVANE_TEST_NMEA_DIR) + "/gpsd/sample.aivdm")) {
        try {
            const Bytes octets = ArmouredToOctets(m.payload, m.fillBits);
            if (octets.size() > 124)
                continue;
            gen.AddTransmission(octets);
            gen.AddSilence(0.03);
        } catch (const std::invalid_argument&) {
            continue;
        }
        if (++count == 40)
            break;
    }
    gen.AddSilence(0.5);
    WriteWav(wav, gen.Render(), 48000);
    const ProgramResult replay = RunProgram(KELVANE_DECODE, {wav});
    ASSERT_EQ(replay.exitCode, 0);

    for (const std::vector<std::string>& path :
         {std::vector<std::string>{}, std::vector<std::string>{"--builtin"}}) {
        std::vector<std::string> args = {"--device", device, "--rate", "48000"};
        args.insert(args.end(), path.begin(), path.end());
        BackgroundProgram live(KELVANE_DECODE, args, {"PULSE_SOURCE=kelvane_null.monitor"});
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const ProgramResult play = RunProgram("/usr/bin/paplay", {"--device=kelvane_null", wav});
        EXPECT_EQ(play.exitCode, 0) << play.err;
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const ProgramResult result = live.Stop(SIGINT);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, replay.out) << (path.empty() ? "library" : "built-in");
        EXPECT_NE(result.err.find("Overruns: 0\n"), std::string::npos) << result.err;
    }
    fs::remove_all(dir);
}

std::vector<std::string> SortedLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream split(text);
    for (std::string line; std::getline(split, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Two receivers on a stereo card: a stereo recording with other traffic on
// each side is played into the two-channel sink "kelvane_stereo".
TEST(LiveCapture, TwoReceiversLiveEqualTheReplayAndTheRecordingReplaysTheSame)
{
    const std::string device = PulseDevice();
    ASSERT_FALSE(device.empty()) << "PortAudio lists no \"pulse\" input (tests/support/pulse-null-sink.sh)";
    const fs::path dir = fs::temp_directory_path() / ("kelvane-live2-" + std::to_string(getpid()));
    fs::create_directories(dir);
    SignalGenerator left, right;
    left.AddSilence(0.5);
    right.AddSilence(0.52);
    size_t count = 0;
    for (const AisMessage& m : ReadAivdmMessages(std::string(KELVANE_TEST_NMEA_DIR) + "/gpsd/sample.aivdm")) {
        if (m.payload.size() > 60)
            continue;  // single sentences: their order across the sides is free
        SignalGenerator& side = count % 2 == 0 ? left : right;
        side.AddTransmission(ArmouredToOctets(m.payload, m.fillBits));
        side.AddSilence(0.02 + 0.01 * static_cast<double>(count % 3));
        if (++count == 40)
            break;
    }
    left.AddSilence(0.5);
    const std::string wav = (dir / "air.wav").string();
    WriteWav(wav, Interleave(left.Render(), right.Render()), AudioFormat{48000, 2, 8});
    const ProgramResult replay = RunProgram(KELVANE_DECODE, {wav});
    ASSERT_EQ(replay.exitCode, 0) << replay.err;
    EXPECT_NE(replay.err.find("Valid A: 20\nValid B: 20\n"), std::string::npos) << replay.err;

    const std::string recording = (dir / "recorded.wav").string();
    BackgroundProgram live(KELVANE_DECODE, {"--device", device, "--stereo", "--record", recording},
                           {"PULSE_SOURCE=kelvane_stereo.monitor"});
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const ProgramResult play = RunProgram("/usr/bin/paplay", {"--device=kelvane_stereo", wav});
    EXPECT_EQ(play.exitCode, 0) << play.err;
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const ProgramResult result = live.Stop(SIGINT);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(SortedLines(result.out), SortedLines(replay.out));
    EXPECT_NE(result.err.find("Overruns: 0\n"), std::string::npos) << result.err;

    const ProgramResult again = RunProgram(KELVANE_DECODE, {recording});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, result.out) << "the recording replays as the air was decoded live";
    fs::remove_all(dir);
}

TEST(LiveCapture, DevicesAreListedByTheirWholeNames)
{
    // An ALSA input of the user's own, with a long name.
    const fs::path home = fs::temp_directory_path() / ("kelvane-alsa-" + std::to_string(getpid()));
    fs::create_directories(home);
    const std::string name = "kelvane_input_with_a_name_longer_than_thirty_one_characters";
    std::ofstream(home / ".asoundrc") << "pcm." << name << " { type null }\n";
    BackgroundProgram list(KELVANE_DECODE, {"--list-devices"}, {"HOME=" + home.string()});
    const ProgramResult result = list.Finish();
    EXPECT_NE(result.out.find(": " + name + "\n"), std::string::npos) << result.out;
    fs::remove_all(home);
}

TEST(LiveCapture, ADeviceThatCannotOpenAndOneThatVanishes)
{
    const ProgramResult missing = RunProgram(KELVANE_DECODE, {"--device", "99"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err,
              "kelvane-decode: An error occured while attempting to open audio device.    The "
              "device number (99) cannot be found.\n");

    // A sink of its own, whose monitor goes away in the middle of a run.
    const ProgramResult load = RunProgram(
        "/usr/bin/pactl", {"load-module", "module-null-sink", "sink_name=kelvane_vanishing", "rate=48000", "channels=1"});
    ASSERT_EQ(load.exitCode, 0) << "no PulseAudio server: tests/support/pulse-null-sink.sh\n" << load.err;
    const std::string module = load.out.substr(0, load.out.find('\n'));
    BackgroundProgram live(KELVANE_DECODE, {"--device", PulseDevice()},
                           {"PULSE_SOURCE=kelvane_vanishing.monitor"});
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_EQ(RunProgram("/usr/bin/pactl", {"unload-module", module}).exitCode, 0);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const ProgramResult result = live.Stop(SIGTERM);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("Syncs: 0\n"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("killed"), std::string::npos) << "it stopped when asked";
}

}  // namespace
}  // namespace kelvane::test
