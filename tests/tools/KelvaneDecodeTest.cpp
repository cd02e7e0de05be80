#include "support/AisPayload.h"
#include "support/LoopbackPeers.h"
#include "support/NmeaCorpus.h"
#include "support/PtyPair.h"
#include "support/RunProgram.h"
#include "support/SignalGenerator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace kelvane::test {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

const std::string Decoder = KELVANE_DECODE;

class KelvaneDecode : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = fs::temp_directory_path() / ("kelvane-decode-test-" + std::to_string(getpid()));
        fs::create_directories(Dir);
    }
    void TearDown() override { fs::remove_all(Dir); }
    std::string Path(const std::string& name) const { return (Dir / name).string(); }
    fs::path Dir;
};

// Each message's octets (as a receiver assembles them) from decoder output.
std::vector<Bytes> DecodedMessages(const std::string& out)
{
    std::vector<Bytes> messages;
    std::string payload;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_FALSE(line.empty() || line.back() != '\r') << "CR LF line ends";
        SentenceFields fields;
        EXPECT_TRUE(ParseSentence(line, fields)) << line;
        EXPECT_EQ(fields.channel, "");
        payload += fields.payload;
        if (fields.fragment == fields.count) {
            messages.push_back(ArmouredToOctets(payload, fields.fillBits));
            payload.clear();
        }
    }
    return messages;
}

size_t DecodedMessagesOf(const std::string& sentences)
{
    size_t count = 0;
    for (size_t at = 0; (at = sentences.find("!AIVDM,", at)) != std::string::npos; at += 7)
        count += sentences.compare(at + 7, 2, "1,") == 0 || sentences.compare(at + 9, 2, "1,") == 0 ? 1 : 0;
    return count;
}

std::vector<Bytes> CorpusMessages(size_t count)
{
    std::vector<Bytes> picked;
    for (const AisMessage& m : ReadAivdmMessages(std::string(KELVANE_TEST_NMEA_DIR) + "/libais/test.aivdm")) {
        Bytes octets;
        try {
            octets = ArmouredToOctets(m.payload, m.fillBits);
        } catch (const std::invalid_argument&) {
            continue;
        }
        if (octets.size() <= 124 && picked.size() < count)
            picked.push_back(octets);
    }
    return picked;
}

TEST_F(KelvaneDecode, GeneratedRecordingsOfRealMessagesDecodeExactlyOnBothPaths)
{
    const std::vector<Bytes> messages = CorpusMessages(60);
    ASSERT_EQ(messages.size(), 60u);
    for (int rate : {44100, 48000, 50000}) {
        RenderOptions render;
        render.sampleRate = rate;
        render.noiseRms = 2;
        render.seed = static_cast<uint32_t>(rate);
        SignalGenerator gen(render);
        for (size_t i = 0; i < messages.size(); ++i) {
            gen.AddSilence(0.02);
            gen.AddTransmission(messages[i], {.trainingStartsWithOne = i % 2 == 1});
        }
        gen.AddSilence(0.02);
        const std::string wav = Path("real-" + std::to_string(rate) + ".wav");
        WriteWav(wav, gen.Render(), rate);
        for (const std::string path : {"--builtin", "--library"}) {
            std::vector<std::string> args = {wav};
            if (path == "--builtin")
                args.insert(args.begin(), path);
            const ProgramResult result = RunProgram(Decoder, args);
            EXPECT_EQ(result.exitCode, 0) << result.err;
            EXPECT_EQ(DecodedMessages(result.out), messages) << rate << " Hz " << path;
            EXPECT_NE(result.err.find("Valid: 60\n"), std::string::npos) << result.err;
            EXPECT_NE(result.err.find("real time"), std::string::npos);
        }
    }
}

TEST_F(KelvaneDecode, RisingNoiseDecodesACountInsideTheBand)
{
    // 100 position reports, the noise rising from none to well past what a
    // zero-crossing receiver can take.
    RenderOptions render;
    render.seed = 5;
    const Bytes report = ArmouredToOctets("13mn4I0P000HEd>RSk<8Vgv406bh");
    std::vector<Bytes> samples;
    Bytes all;
    for (int i = 0; i < 100; ++i) {
        render.noiseRms = 0.5 * i;
        render.seed = static_cast<uint32_t>(i + 1);
        SignalGenerator gen(render);
        gen.AddSilence(0.01);
        gen.AddTransmission(report);
        gen.AddSilence(0.01);
        const Bytes part = gen.Render();
        all.insert(all.end(), part.begin(), part.end());
    }
    const std::string wav = Path("noise.wav");
    WriteWav(wav, all, 48000);
    // Measured when written: 56 (built-in) and 50 (library) of 100.
    const ProgramResult builtin = RunProgram(Decoder, {"--builtin", wav});
    const ProgramResult library = RunProgram(Decoder, {wav});
    const std::vector<Bytes> fromBuiltin = DecodedMessages(builtin.out);
    const std::vector<Bytes> fromLibrary = DecodedMessages(library.out);
    EXPECT_EQ(fromBuiltin, std::vector<Bytes>(fromBuiltin.size(), report)) << "no false message";
    EXPECT_EQ(fromLibrary, std::vector<Bytes>(fromLibrary.size(), report)) << "no false message";
    EXPECT_GE(fromBuiltin.size(), 50u);
    EXPECT_LE(fromBuiltin.size(), 62u);
    EXPECT_GE(fromLibrary.size(), 45u);
    EXPECT_LE(fromLibrary.size(), 55u);
}

TEST_F(KelvaneDecode, RealRecordingsGiveEveryKnownMessageOnBothPaths)
{
    const std::map<std::string, std::vector<std::string>> known = {
        {"bergen-48k-u8.wav",
         {"402M3div<CD3C0HOHPRSrP700H<2", "@02M3dhuO0f@UP00", "13mn4I0P000HEbdRSk58lOvd08=r",
          "13n4uV00010HFS`RSmf8mB`j0D1D"}},
        {"rtl-fm-50k-u8.wav", {"13mn4I0P000HEd>RSk<8Vgv406bh"}},
    };
    for (const auto& [file, payloads] : known) {
        for (const std::string path : {"builtin", "library", "burst"}) {
            const std::vector<std::string> args = {"--demod", path,
                                                   std::string(KELVANE_TEST_AUDIO_DIR) + "/" + file};
            const ProgramResult result = RunProgram(Decoder, args);
            ASSERT_EQ(result.exitCode, 0) << result.err;
            std::vector<Bytes> expected;
            for (const std::string& p : payloads)
                expected.push_back(ArmouredToOctets(p));
            EXPECT_EQ(DecodedMessages(result.out), expected) << file << " " << path;
        }
    }
}

TEST_F(KelvaneDecode, BurstDemodulatorReportsItsFrameChecks)
{
    const std::string wav = std::string(KELVANE_TEST_AUDIO_DIR) + "/bergen-48k-u8.wav";
    for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"--no-repair"}}) {
        std::vector<std::string> args = {"--demod", "burst"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(wav);
        const ProgramResult result = RunProgram(Decoder, args);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(DecodedMessages(result.out).size(), 4u);
        EXPECT_NE(result.err.find("Frame checks: "), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("Valid: 4\n"), std::string::npos);
    }
    EXPECT_EQ(RunProgram(Decoder, {wav}).err.find("Frame checks"), std::string::npos)
        << "only the burst demodulator makes frame checks of its own";
}

TEST_F(KelvaneDecode, AStereoFileDecodesBothSidesLetteredAndTheSwapTradesTheLetters)
{
    // The real 16-bit original carries the same air on both sides.
    const std::string wav = std::string(KELVANE_TEST_AUDIO_DIR) + "/bergen-48k-s16-stereo.wav";
    for (bool swap : {false, true}) {
        std::vector<std::string> args = {wav};
        if (swap)
            args.insert(args.begin(), "--swap-channels");
        const ProgramResult result = RunProgram(Decoder, args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        std::map<std::string, std::vector<std::string>> byChannel;
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);) {
            SentenceFields fields;
            ASSERT_TRUE(ParseSentence(line, fields)) << line;
            byChannel[fields.channel].push_back(fields.payload);
        }
        ASSERT_EQ(byChannel.size(), 2u) << result.out;
        EXPECT_EQ(byChannel["A"], byChannel["B"]);
        EXPECT_GE(byChannel["A"].size(), 4u);
        EXPECT_NE(result.err.find("Valid A: " + std::to_string(byChannel["A"].size()) + "\n"), std::string::npos);
        // The left side (A, or B when swapped) is decoded first in each block.
        EXPECT_EQ(result.out.substr(0, 14), swap ? "!AIVDM,1,1,,B," : "!AIVDM,1,1,,A,");
    }
    // Options for live input only.
    for (const char* option : {"--stereo", "--record=x.wav"}) {
        const ProgramResult result = RunProgram(Decoder, {option, wav});
        EXPECT_EQ(result.exitCode, 2) << option;
        EXPECT_NE(result.err.find("live input"), std::string::npos) << result.err;
    }
}

TEST_F(KelvaneDecode, JsonOnStandardOutputWhileTheOutputsCarrySentences)
{
    const std::string log = Path("json.log");
    const ProgramResult result =
        RunProgram(Decoder, {"--json", "--log", log, std::string(KELVANE_TEST_AUDIO_DIR) + "/bergen-48k-s16-stereo.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::ifstream file(log, std::ios::binary);
    const std::string logged((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream lines(result.out);
    size_t objects = 0;
    for (std::string line; std::getline(lines, line); ++objects) {
        EXPECT_EQ(line.rfind("{\"class\":\"AIS\",\"type\":", 0), 0u) << line;
        EXPECT_EQ(line.back(), '}');
        EXPECT_NE(line.find(objects % 2 == 0 ? "\"channel\":\"A\"" : "\"channel\":\"B\""), std::string::npos) << line;
        EXPECT_NE(line.find("\"signal_db\":-"), std::string::npos) << line;
    }
    EXPECT_EQ(objects, DecodedMessagesOf(logged));
    EXPECT_NE(result.out.find("\"mmsi\":257786980"), std::string::npos);
}

TEST_F(KelvaneDecode, StandardInputAndTraceText)
{
    const ProgramResult result =
        RunProgram(Decoder, {"--trace", "-"}, std::string(KELVANE_TEST_AUDIO_DIR) + "/rtl-fm-50k-u8.wav");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "!AIVDM,1,1,,,13mn4I0P000HEd>RSk<8Vgv406bh,0*0D\r\n");
    EXPECT_EQ(result.err.rfind("*Period=0.000104\n", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("*Sync"), std::string::npos);
}

TEST_F(KelvaneDecode, BadFilesAndBadUsage)
{
    const std::string missing = Path("missing.wav");
    auto result = RunProgram(Decoder, {missing});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, missing + " - Error opening input file, rc = 2\n");

    const std::string text = Path("text.wav");
    std::ofstream(text) << "not a recording";
    result = RunProgram(Decoder, {"--builtin", text});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, text + " - Not a wave file\n");

    result = RunProgram(Decoder, {std::string(KELVANE_TEST_AUDIO_DIR) + "/LICENSE-birktj-ais-decoder"});
    EXPECT_EQ(result.exitCode, 1);

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--frobnicate", text}, {text, text}}) {
        result = RunProgram(Decoder, args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.err.find("usage: kelvane-decode"), std::string::npos);
        EXPECT_TRUE(result.out.empty());
    }
    result = RunProgram(Decoder, {"--demod", "fast", text});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("--demod takes library, builtin or burst"), std::string::npos);
    result = RunProgram(Decoder, {"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("--builtin"), std::string::npos);
    EXPECT_NE(result.out.find("--no-repair"), std::string::npos);
}

// A value that cannot work stops the program before it opens or decodes
// anything: a service started with a typo fails instead of feeding nothing.
TEST_F(KelvaneDecode, MalformedValuesAreUsageErrorsBeforeAnythingOpens)
{
    const std::string recording = std::string(KELVANE_TEST_AUDIO_DIR) + "/bergen-48k-u8.wav";
    const std::string log = Path("never.log");
    const struct {
        std::vector<std::string> args;
        std::string named;
    } cases[] = {
        {{"--udp", "nonsense"}, "--udp \"nonsense\""},
        {{"--udp", "127.0.0.1:10110,"}, "--udp \"127.0.0.1:10110,\""},
        {{"--udp", "127.0.0.1:99"}, "--udp \"127.0.0.1:99\""},
        {{"--tcp", "localhost"}, "--tcp \"localhost\""},
        {{"--tcp", "host:0"}, "--tcp \"host:0\""},
        {{"--tcp-server", "99999"}, "--tcp-server \"99999\""},
        {{"--tcp-server", "::1:10110"}, "--tcp-server \"::1:10110\""},
        {{"--tag-blocks", "a,b"}, "--tag-blocks \"a,b\""},
        {{"--tag-blocks", "a-name-too-long-for-it"}, "--tag-blocks \"a-name-too-long-for-it\""},
        {{"--serial", "/dev/ttyS0,99,q,9,3"}, "--serial \"99,q,9,3\""},
        {{"--serial", ",4800,n,8,1"}, "--serial \"\""},
        {{"--http", "99999"}, "--http \"99999\""},
        {{"--http", "::1:8080"}, "--http \"::1:8080\""},
        {{"--http", "localhost:80"}, "--http \"localhost:80\""},
        {{"--station", "91,5"}, "--station \"91,5\""},
        {{"--station", "60.4"}, "--station \"60.4\""},
        {{"--station", "60.4,east"}, "--station \"60.4,east\""},
        {{"--keep-serving"}, "--keep-serving"},
        {{"--rate", "22050"}, "--rate"},
        {{"--device", "first"}, "--device"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--log", log, recording});
        if (c.named == "--rate" || c.named == "--device")
            args.pop_back();
        const ProgramResult result = RunProgram(Decoder, args);
        EXPECT_EQ(result.exitCode, 2) << c.named;
        EXPECT_EQ(result.err.rfind("kelvane-decode: " + c.named, 0), 0u) << result.err;
        EXPECT_NE(result.err.find("\nusage: kelvane-decode"), std::string::npos) << result.err;
        EXPECT_TRUE(result.out.empty()) << c.named;
        EXPECT_FALSE(fs::exists(log)) << c.named << ": nothing may be opened";
    }
}

// What can only fail at run time leaves that output out, and the command
// line's words say what to do there (not which window menu to use).
TEST_F(KelvaneDecode, AnOutputThatCannotOpenIsLeftOutInTheCommandLinesWords)
{
    const ProgramResult result = RunProgram(
        Decoder, {"--serial", "kelvane-no-such-port", "--log", Path("ais.log"),
                  std::string(KELVANE_TEST_AUDIO_DIR) + "/rtl-fm-50k-u8.wav"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "!AIVDM,1,1,,,13mn4I0P000HEd>RSk<8Vgv406bh,0*0D\r\n");
    EXPECT_EQ(result.err.rfind("kelvane-decode: --serial: serial port kelvane-no-such-port ", 0), 0u) << result.err;
    EXPECT_EQ(result.err.find("main menu"), std::string::npos) << result.err;
    std::ifstream logged(Path("ais.log"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(logged), {}), result.out);
}

TEST_F(KelvaneDecode, WithoutTheLibraryOneMessageAndTheBuiltinServes)
{
    // A copy of the program in a folder without the library beside it.
    const fs::path alone = Dir / "kelvane-decode";
    fs::copy_file(Decoder, alone);
    const ProgramResult result =
        RunProgram(alone.string(), {std::string(KELVANE_TEST_AUDIO_DIR) + "/rtl-fm-50k-u8.wav"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "!AIVDM,1,1,,,13mn4I0P000HEd>RSk<8Vgv406bh,0*0D\r\n");
    EXPECT_NE(result.err.find("libBrinecore.so"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("PreSyncs: 1\n"), std::string::npos) << result.err;
}

TEST_F(KelvaneDecode, FeedsLogSerialAndUdpWithIdenticalBytes)
{
    const std::vector<Bytes> messages = CorpusMessages(30);
    SignalGenerator gen;
    for (const Bytes& m : messages) {
        gen.AddSilence(0.01);
        gen.AddTransmission(m);
    }
    gen.AddSilence(0.01);
    const std::string wav = Path("feed.wav");
    WriteWav(wav, gen.Render(), 48000);

    PtyPair pty;
    UdpReceiver udp;
    const std::string log = Path("ais.log");
    const ProgramResult result =
        RunProgram(Decoder, {"--log", log, "--serial", pty.Near() + ",4800,n,8,1", "--udp",
                             "127.0.0.1:" + std::to_string(udp.Port()), wav});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(DecodedMessages(result.out), messages);
    EXPECT_EQ(result.err.find("kelvane-decode:"), std::string::npos) << result.err;

    std::ifstream file(log, std::ios::binary);
    std::stringstream logText;
    logText << file.rdbuf();
    EXPECT_EQ(logText.str(), result.out);
    EXPECT_EQ(pty.ReadFar(result.out.size()), result.out);
    std::string datagrams;
    const auto got = udp.Take(messages.size());
    for (const auto& [to, data] : got)
        datagrams += data;
    EXPECT_EQ(datagrams, result.out);
    EXPECT_EQ(got.size(), messages.size()) << "one datagram per message";
    EXPECT_TRUE(udp.Take(1, std::chrono::milliseconds(0)).empty());

    // --quiet leaves standard output empty and the outputs served.
    const ProgramResult quiet = RunProgram(Decoder, {"--quiet", "--log", log, wav});
    EXPECT_TRUE(quiet.out.empty());
    std::ifstream again(log, std::ios::binary);
    std::stringstream againText;
    againText << again.rdbuf();
    EXPECT_EQ(againText.str(), result.out);
}

}  // namespace
}  // namespace kelvane::test
