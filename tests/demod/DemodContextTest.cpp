#include "DemodContext.h"

#include "support/AisPayload.h"
#include "support/SignalGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace kelvane::test {
namespace {

using brinecore::DemodContext;
using Bytes = std::vector<uint8_t>;

// A type 1 position report from a real recording: 21 octets, 168 bits.
const Bytes& PositionReport()
{
    static const Bytes octets = ArmouredToOctets("13mn4I0P000HEd>RSk<8Vgv406bh");
    return octets;
}

Bytes Concat(const Bytes& a, const Bytes& b)
{
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

// Runs samples through a demodulator in blocks of blockSize and returns the
// concatenated output of all calls. The buffer has a guard zone behind the
// 8192 bytes the demodulator may use, which must stay untouched.
Bytes Demodulate(DemodContext& demod, const Bytes& samples, int rate, size_t blockSize = 8192,
          int trace = 0)
{
    Bytes all;
    Bytes out(brinecore::OutputCapacity + 64, 0xA5);
    for (size_t pos = 0; pos < samples.size(); pos += blockSize) {
        const size_t n = std::min(blockSize, samples.size() - pos);
        int32_t peak = -1;
        const int32_t r = demod.AudioToBytes(samples.data() + pos, static_cast<int32_t>(n),
                                             out.data(), rate, 9600, &peak, trace);
        EXPECT_GE(r, 0);
        EXPECT_LE(r, brinecore::OutputCapacity);
        EXPECT_TRUE(std::all_of(out.begin() + brinecore::OutputCapacity, out.end(),
                                [](uint8_t b) { return b == 0xA5; }));
        all.insert(all.end(), out.begin(), out.begin() + r);
    }
    return all;
}

// Splits output into the contents of its blocks; fails on a malformed one.
std::vector<Bytes> Blocks(const Bytes& output)
{
    std::vector<Bytes> blocks;
    size_t p = 0;
    while (p < output.size()) {
        EXPECT_LE(p + 2, output.size()) << "truncated length";
        if (p + 2 > output.size())
            break;
        const size_t n = output[p] | output[p + 1] << 8;
        EXPECT_LE(p + 2 + n, output.size()) << "truncated block";
        if (p + 2 + n > output.size())
            break;
        blocks.emplace_back(output.begin() + static_cast<long>(p) + 2,
                            output.begin() + static_cast<long>(p + 2 + n));
        p += 2 + n;
    }
    return blocks;
}

std::string Text(const Bytes& block) { return std::string(block.begin(), block.end()); }

std::vector<std::string> TextBlocks(const std::vector<Bytes>& blocks)
{
    std::vector<std::string> texts;
    for (const Bytes& b : blocks)
        if (!b.empty() && b[0] == '*')
            texts.push_back(Text(b));
    return texts;
}

Bytes OneTransmission(const RenderOptions& render, const Bytes& octets = PositionReport(),
                      const TransmissionOptions& tx = {})
{
    SignalGenerator gen(render);
    gen.AddSilence(0.002);
    gen.AddTransmission(octets, tx);
    gen.AddSilence(0.002);
    return gen.Render();
}

// --- Clean signals ---------------------------------------------------------

struct RateCase {
    int rate;
    bool gmsk;
    bool invert;
};

class CleanTransmission : public ::testing::TestWithParam<RateCase> {};

TEST_P(CleanTransmission, GivesOneFrameBlockOfMessageAndFcs)
{
    const RateCase c = GetParam();
    RenderOptions render;
    render.sampleRate = c.rate;
    render.gmsk = c.gmsk;
    render.invert = c.invert;
    DemodContext demod;
    const Bytes output = Demodulate(demod, OneTransmission(render), c.rate);

    ASSERT_EQ(output.size(), 25u);
    EXPECT_EQ(output[0], 0x17);
    EXPECT_EQ(output[1], 0x00);
    EXPECT_EQ(Bytes(output.begin() + 2, output.end()), WithFcs(PositionReport()));
}

INSTANTIATE_TEST_SUITE_P(
    Rates, CleanTransmission,
    ::testing::Values(RateCase{44100, true, false}, RateCase{48000, true, false},
                      RateCase{50000, true, false}, RateCase{22050, true, false},
                      RateCase{48000, false, false}, RateCase{44100, false, true},
                      RateCase{48000, true, true}),
    [](const ::testing::TestParamInfo<RateCase>& info) {
        return std::to_string(info.param.rate) + (info.param.gmsk ? "Gmsk" : "Square") +
               (info.param.invert ? "Inverted" : "");
    });

TEST(CleanTransmission, SplitAtEveryPositionGivesTheSameOutput)
{
    RenderOptions render;
    render.sampleRate = 44100;
    const Bytes samples = OneTransmission(render);
    DemodContext whole;
    const Bytes expected = Demodulate(whole, samples, 44100, samples.size());
    ASSERT_EQ(expected.size(), 25u);

    Bytes out(brinecore::OutputCapacity);
    for (size_t split = 0; split <= samples.size(); ++split) {
        DemodContext demod;
        int32_t peak = 0;
        const int32_t first = demod.AudioToBytes(samples.data(), static_cast<int32_t>(split),
                                                 out.data(), 44100, 9600, &peak, 0);
        Bytes got(out.begin(), out.begin() + first);
        const int32_t second =
            demod.AudioToBytes(samples.data() + split, static_cast<int32_t>(samples.size() - split),
                               out.data(), 44100, 9600, &peak, 0);
        got.insert(got.end(), out.begin(), out.begin() + second);
        ASSERT_EQ(got, expected) << "split at sample " << split;
        // The block comes whole, from the call in which the closing flag ended.
        ASSERT_TRUE(first == 0 || second == 0) << "split at sample " << split;
    }
}

TEST(CleanTransmission, SeveralTransmissionsWithGapsInOneStream)
{
    RenderOptions render;
    render.noiseRms = 4;
    render.seed = 7;
    SignalGenerator gen(render);
    std::vector<Bytes> sent;
    std::mt19937 random(3);
    for (int i = 0; i < 20; ++i) {
        Bytes octets(static_cast<size_t>(1 + random() % 60));
        for (uint8_t& b : octets)
            b = static_cast<uint8_t>(random());
        sent.push_back(WithFcs(octets));
        gen.AddSilence(0.01 + 0.001 * i);
        gen.AddTransmission(octets, {.trainingStartsWithOne = i % 2 == 1});
    }
    gen.AddSilence(0.01);
    DemodContext demod;
    EXPECT_EQ(Blocks(Demodulate(demod, gen.Render(), 48000)), sent);
}

// --- Silence, rates, the first sample ---------------------------------------

TEST(Silence, GivesNoOutputAndItsLevelAsPeak)
{
    DemodContext demod;
    Bytes silence(8192, 131);
    Bytes out(brinecore::OutputCapacity);
    int32_t peak = -1;
    EXPECT_EQ(demod.AudioToBytes(silence.data(), 8192, out.data(), 48000, 9600, &peak, 0), 0);
    EXPECT_EQ(peak, 131);
    EXPECT_EQ(demod.AudioToBytes(silence.data(), 0, out.data(), 48000, 9600, &peak, 0), 0);
    EXPECT_EQ(peak, 0);
    EXPECT_EQ(demod.AudioToBytes(nullptr, 100, out.data(), 48000, 9600, &peak, 0), 0);
    EXPECT_EQ(peak, 0);
}

TEST(Rates, ZeroOrNegativeRatesYieldNothingUntilReInit)
{
    const Bytes samples = OneTransmission({});
    for (auto [rate, baud] : {std::pair{0, 9600}, {48000, 0}, {-48000, 9600}, {48000, -1}}) {
        DemodContext demod;
        Bytes out(brinecore::OutputCapacity);
        int32_t peak = 0;
        EXPECT_EQ(demod.AudioToBytes(samples.data(), static_cast<int32_t>(samples.size()),
                                     out.data(), rate, baud, &peak, 1),
                  0);
        EXPECT_EQ(peak, *std::max_element(samples.begin(), samples.end()));
        demod.ReInit(0);
        EXPECT_EQ(Demodulate(demod, samples, 48000).size(), 25u);
    }
}

TEST(Rates, ChangeTakesEffectOnlyAfterReInit)
{
    const Bytes samples = OneTransmission({});  // 48000 samples per second
    Bytes out(brinecore::OutputCapacity);
    int32_t peak = 0;
    DemodContext demod;
    // Initialised at the right rate; a later wrong rate is ignored.
    demod.AudioToBytes(samples.data(), 10, out.data(), 48000, 9600, &peak, 0);
    EXPECT_EQ(demod.AudioToBytes(samples.data() + 10, static_cast<int32_t>(samples.size() - 10),
                                 out.data(), 44100, 9600, &peak, 0),
              25);
    // After ReInit the wrong rate is taken, and the timing no longer fits.
    demod.ReInit(0);
    EXPECT_EQ(Demodulate(demod, samples, 44100).size(), 0u);
    demod.ReInit(0);
    EXPECT_EQ(Demodulate(demod, samples, 48000).size(), 25u);
}

TEST(FirstSample, EmptyFirstCallLeavesTheStreamUnchanged)
{
    const Bytes samples = OneTransmission({});
    DemodContext plain;
    const Bytes expected = Demodulate(plain, samples, 48000);
    DemodContext demod;
    Bytes out(brinecore::OutputCapacity);
    int32_t peak = 0;
    EXPECT_EQ(demod.AudioToBytes(samples.data(), 0, out.data(), 48000, 9600, &peak, 0), 0);
    EXPECT_EQ(Demodulate(demod, samples, 48000), expected);
}

TEST(ReInitState, AnOpenPairCarriesIntoTheNewInitialisation)
{
    // Eight training runs are one pair short when the pairing starts with the
    // run before them, and exactly enough when a held interval shifts it.
    RenderOptions render;
    render.gmsk = false;
    const Bytes samples = OneTransmission(render, PositionReport(), {.trainingBits = 16});

    DemodContext fresh;
    EXPECT_EQ(Demodulate(fresh, samples, 48000).size(), 0u);

    DemodContext demod;
    const Bytes oneCrossing = {200, 200, 50, 50};
    Demodulate(demod, oneCrossing, 48000);
    demod.ReInit(0);
    EXPECT_EQ(Demodulate(demod, samples, 48000).size(), 25u);
}

// --- Training and flag --------------------------------------------------------

TEST(StartFlag, OneWrongLevelIsAcceptedTwoAreRejected)
{
    // The flag matcher reads run levels: six bits of the long run, then the
    // first bit of the next run. A flag whose last bit is sent as 1 extends
    // the long run by one bit (1111111, one off); with its sixth 1 sent as 0
    // the levels read 1111101 (two off).
    DemodContext one;
    const auto accepted = Blocks(Demodulate(
        one, OneTransmission({}, PositionReport(), {.startFlagFlips = 0x80}), 48000, 8192, 1));
    const auto acceptedTexts = TextBlocks(accepted);
    ASSERT_EQ(acceptedTexts.size(), 6u);
    EXPECT_TRUE(std::regex_match(acceptedTexts[5], std::regex(R"(\*Sync1 7f at \d+ nm=1\n)")))
        << acceptedTexts[5];
    EXPECT_EQ(accepted.back(), WithFcs(PositionReport()));

    DemodContext two;
    const auto rejected = Blocks(Demodulate(
        two, OneTransmission({}, PositionReport(), {.startFlagFlips = 0x40}), 48000, 8192, 1));
    const auto texts = TextBlocks(rejected);
    EXPECT_EQ(texts.size(), rejected.size()) << "no frame after a rejected flag";
    ASSERT_GE(texts.size(), 6u);
    EXPECT_TRUE(std::regex_match(texts[5], std::regex(R"(\*Bad1 HDLC 7E/01=7d at \d+ nm=2\n)")))
        << texts[5];
}

TEST(StartFlag, AfterARejectedFlagANewTrainingSequenceIsNeeded)
{
    // A rejected flag, then straight away a good flag and a frame: without a
    // training sequence in between, the frame is not received.
    const Bytes frameBits = TransmissionBits(PositionReport(), {.rampBits = 0, .trainingBits = 0});
    for (bool withTraining : {false, true}) {
        Bytes bits(8, 1);
        for (int i = 0; i < 24; ++i)
            bits.push_back(static_cast<uint8_t>(i % 2));
        bits.insert(bits.end(), {0, 1, 1, 1, 1, 1, 0, 0});  // reads as 1111101
        if (withTraining)
            for (int i = 0; i < 24; ++i)
                bits.push_back(static_cast<uint8_t>(i % 2));
        bits.insert(bits.end(), frameBits.begin(), frameBits.end());
        SignalGenerator gen;
        gen.AddSilence(0.001);
        gen.AddBits(bits);
        gen.AddSilence(0.001);
        DemodContext demod;
        EXPECT_EQ(Demodulate(demod, gen.Render(), 48000).size(), withTraining ? 25u : 0u)
            << (withTraining ? "with" : "without") << " training";
    }
}

TEST(StartFlag, BothTrainingEndingsAreReceived)
{
    for (bool startsWithOne : {false, true}) {
        DemodContext demod;
        EXPECT_EQ(Demodulate(demod,
                      OneTransmission({}, PositionReport(), {.trainingStartsWithOne = startsWithOne}),
                      48000)
                      .size(),
                  25u);
    }
}

// --- Frame content ------------------------------------------------------------

TEST(Frame, StuffingBitsAreRemovedAndFlagBytesInsideStayData)
{
    const Bytes octets = {0xFF, 0xFF, 0x7E, 0x7E, 0x3F, 0xFC, 0x1F, 0xF8, 0x00, 0xFF};
    DemodContext demod;
    EXPECT_EQ(Blocks(Demodulate(demod, OneTransmission({}, octets), 48000)),
              std::vector<Bytes>{WithFcs(octets)});
}

TEST(Frame, LengthLimitIs126Bytes)
{
    const Bytes longest(124, 0x55);  // 126 with its FCS
    DemodContext a;
    EXPECT_EQ(Blocks(Demodulate(a, OneTransmission({}, longest), 48000)),
              std::vector<Bytes>{WithFcs(longest)});

    const Bytes tooLong(125, 0x55);
    DemodContext b;
    EXPECT_TRUE(Demodulate(b, OneTransmission({}, tooLong), 48000).empty());
    DemodContext c;
    const auto texts = TextBlocks(Blocks(Demodulate(c, OneTransmission({}, tooLong), 48000, 8192, 1)));
    ASSERT_FALSE(texts.empty());
    EXPECT_TRUE(std::regex_match(texts.back(), std::regex(R"(\*Max Length=at \d+\n)")));
}

TEST(Frame, BackToBackFlagsGiveAnEmptyBlock)
{
    SignalGenerator gen;
    gen.AddSilence(0.001);
    gen.AddTransmission({}, {.appendFcs = false});
    gen.AddSilence(0.001);
    DemodContext demod;
    EXPECT_EQ(Demodulate(demod, gen.Render(), 48000), (Bytes{0x00, 0x00}));
}

// --- Trace ----------------------------------------------------------------------

// Every test process traces into a folder of its own instead of the user's.
class TraceHome : public ::testing::Environment {
public:
    static std::filesystem::path Path()
    {
        return std::filesystem::temp_directory_path() /
               ("kelvane-demod-test-" + std::to_string(getpid()));
    }
    void SetUp() override { setenv("XDG_STATE_HOME", Path().c_str(), 1); }
    void TearDown() override { std::filesystem::remove_all(Path()); }
};
const auto* const TraceHomeEnvironment = ::testing::AddGlobalTestEnvironment(new TraceHome);

class Trace : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::remove_all(TraceHome::Path()); }

    static std::filesystem::path TraceFilePath()
    {
        return TraceHome::Path() / "Kelvane" / "debug.txt";
    }
    static std::string TraceFileText()
    {
        std::ifstream file(TraceFilePath());
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
};

TEST_F(Trace, TextBlocksInOrderWithExactFormats)
{
    // Square levels, 5 samples per bit, bit k of the transmission starting
    // half-way between samples 96 and 97 + 5k: the crossing at the start of
    // bit k is seen at sample 97 + 5k (0-based), counted as 98 + 5k.
    RenderOptions render;
    render.gmsk = false;
    auto transmission = [&] {
        SignalGenerator gen(render);
        gen.AddSilence(96.5 / 48000);
        gen.AddTransmission(PositionReport());
        gen.AddSilence(0.001);
        return gen.Render();
    };
    DemodContext demod;
    const auto blocks = Blocks(Demodulate(demod, transmission(), 48000, 8192, 1));
    ASSERT_EQ(blocks.size(), 7u);
    EXPECT_EQ(Text(blocks[0]), "*Period=0.000104\n");
    EXPECT_EQ(Text(blocks[1]), "*PreSyncLow=0.000396\n");
    EXPECT_EQ(Text(blocks[2]), "*PreSyncHigh=0.000438\n");
    // After the 8 ramp bits the training's runs end at bits 8, 10, ...; the
    // first pair holds the long run before the training, so pairs end at
    // bits 14, 18, 22 and 26, and the next crossing, at bit 28, is PreSync.
    EXPECT_EQ(Text(blocks[3]), "*PreSync at " + std::to_string(98 + 5 * 28) + "\n");
    // The flag's long run ends where its closing 0 begins, bit 8 + 24 + 7.
    EXPECT_EQ(Text(blocks[4]), "*PreSync:Wide found at " + std::to_string(98 + 5 * 39) + "\n");
    // The long run is low here (the ramp is high and the training flips
    // twelve times, the flag's 0 once more): Sync1. The first data bit is a
    // 0, so the flag's closing 0 ends at bit 40's crossing.
    EXPECT_EQ(Text(blocks[5]), "*Sync1 7e at " + std::to_string(98 + 5 * 40) + " nm=0\n");
    EXPECT_EQ(blocks[6], WithFcs(PositionReport()));

    render.invert = true;
    DemodContext inverted;
    const auto texts = TextBlocks(Blocks(Demodulate(inverted, transmission(), 48000, 8192, 1)));
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[5], "*Sync0 7e at " + std::to_string(98 + 5 * 40) + " nm=0\n");
}

TEST_F(Trace, WideNotFoundAfterFifteenOffIntervals)
{
    // Training, then single-bit runs instead of a flag.
    Bytes bits(8, 1);
    for (int i = 0; i < 24; ++i)
        bits.push_back(static_cast<uint8_t>(i % 2));
    bits.insert(bits.end(), 40, 0);
    SignalGenerator gen;
    gen.AddSilence(0.001);
    gen.AddBits(bits);
    DemodContext demod;
    const auto texts = TextBlocks(Blocks(Demodulate(demod, gen.Render(), 48000, 8192, 1)));
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_TRUE(std::regex_match(texts[3], std::regex(R"(\*PreSync at \d+\n)")));
    EXPECT_TRUE(std::regex_match(texts[4], std::regex(R"(\*PreSync:Wide not found by \d+\n)")));
}

TEST_F(Trace, FileHoldsEveryReceivedBitAndByte)
{
    const Bytes octets = {0x04, 0xFF, 0x7E, 0x80, 0x3E};
    DemodContext demod;
    Demodulate(demod, OneTransmission({}, octets), 48000, 8192, 1);
    std::istringstream lines(TraceFileText());
    std::string line;
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "init reached");

    // Each line: the byte's bits as received, least significant first and
    // stuffing bits included, then the byte; the first line names the sample.
    const Bytes frame = Concat(WithFcs(octets), {0x7E});
    const std::regex first(R"(Sample [1-9]\d*: ([01]+) Byte=([0-9a-f]+))");
    const std::regex next(R"(([01]+) Byte=([0-9a-f]+))");
    int ones = 0;
    for (size_t i = 0; i < frame.size(); ++i) {
        ASSERT_TRUE(std::getline(lines, line)) << "byte " << i;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, i == 0 ? first : next)) << line;
        EXPECT_EQ(std::stoi(m[2], nullptr, 16), frame[i]) << line;
        int value = 0;
        int position = 0;
        for (char bit : std::string(m[1])) {
            if (bit == '0' && ones == 5) {  // stuffing
                ones = 0;
                continue;
            }
            ones = bit == '1' ? ones + 1 : 0;
            value |= (bit - '0') << position++;
        }
        EXPECT_EQ(position, 8) << line;
        EXPECT_EQ(value, frame[i]) << line;
    }
}

TEST_F(Trace, TracingAfterAnUntracedInitialisationWritesTextButNoFile)
{
    DemodContext demod;
    const Bytes samples = OneTransmission({});
    Demodulate(demod, samples, 48000);  // initialised without tracing
    const auto blocks = Blocks(Demodulate(demod, samples, 48000, 8192, 1));
    EXPECT_EQ(TextBlocks(blocks).size(), 3u);  // PreSync, Wide found, Sync
    EXPECT_FALSE(std::filesystem::exists(TraceFilePath()));
}

TEST_F(Trace, ReInitWithTracingStartsTheFileAfresh)
{
    DemodContext demod;
    Demodulate(demod, OneTransmission({}), 48000, 8192, 1);
    EXPECT_NE(TraceFileText().find("Sample "), std::string::npos);
    demod.ReInit(0);
    Demodulate(demod, Bytes(100, 128), 48000, 8192, 1);
    EXPECT_EQ(TraceFileText(), "init reached\n");
}

TEST_F(Trace, UncreatableFileIsSkippedWithoutFailingTheCall)
{
    // The state folder is a file, so the trace folder cannot be made.
    std::ofstream(TraceHome::Path()) << "in the way";
    DemodContext demod;
    const auto blocks = Blocks(Demodulate(demod, OneTransmission({}), 48000, 8192, 1));
    EXPECT_EQ(blocks.size(), 7u);
    EXPECT_EQ(blocks.back(), WithFcs(PositionReport()));
    std::filesystem::remove(TraceHome::Path());
}

// --- Output capacity --------------------------------------------------------------

TEST_F(Trace, FramesTakeTheRoomOfTraceTextInOneLargeCall)
{
    // 200 transmissions in one call: about 5000 bytes of frames and far more
    // trace text than fits. Every frame is kept, in order.
    SignalGenerator gen;
    for (int i = 0; i < 200; ++i) {
        gen.AddSilence(0.003);
        gen.AddTransmission(PositionReport());
    }
    gen.AddSilence(0.003);
    DemodContext demod;
    const Bytes output = Demodulate(demod, gen.Render(), 48000, SIZE_MAX, 1);
    std::vector<Bytes> frames;
    for (const Bytes& b : Blocks(output))
        if (b.empty() || b[0] != '*')
            frames.push_back(b);
    EXPECT_EQ(frames, std::vector<Bytes>(200, WithFcs(PositionReport())));
    EXPECT_GT(output.size(), 200u * 25u) << "text that fits is kept";
}

TEST(Capacity, FramesBeyondTheBufferAreDroppedAndTheRestIsWellFormed)
{
    SignalGenerator gen;
    for (int i = 0; i < 400; ++i) {
        gen.AddSilence(0.003);
        gen.AddTransmission(PositionReport());
    }
    DemodContext demod;
    const Bytes output = Demodulate(demod, gen.Render(), 48000, SIZE_MAX);
    EXPECT_EQ(Blocks(output),
              std::vector<Bytes>(brinecore::OutputCapacity / 25, WithFcs(PositionReport())));
}

TEST_F(Trace, NoiseAtALowSampleRateStaysInsideTheBuffer)
{
    // At 2400 samples per second every sample spans four bits; random samples
    // give a crossing at almost every sample and text at many of them.
    std::mt19937 random(11);
    Bytes noise(1 << 20);
    for (uint8_t& s : noise)
        s = static_cast<uint8_t>(random());
    for (int rate : {2400, 9600, 19200}) {
        DemodContext demod;
        const Bytes output = Demodulate(demod, noise, rate, noise.size(), 1);
        for (const Bytes& b : Blocks(output)) {
            if (!b.empty() && b[0] == '*') {
                EXPECT_EQ(b.back(), '\n');
            }
        }
    }
}

// --- Real recordings ----------------------------------------------------------------

struct Recording {
    const char* file;
    std::vector<const char*> payloads;
};

TEST(RealRecordings, YieldTheKnownMessagesWithGoodFcs)
{
    const std::vector<Recording> recordings = {
        {"bergen-48k-u8.wav",
         {"402M3div<CD3C0HOHPRSrP700H<2", "@02M3dhuO0f@UP00", "13mn4I0P000HEbdRSk58lOvd08=r",
          "13n4uV00010HFS`RSmf8mB`j0D1D"}},
        {"rtl-fm-50k-u8.wav", {"13mn4I0P000HEd>RSk<8Vgv406bh"}},
    };
    for (const Recording& r : recordings) {
        int rate = 0;
        const Bytes samples = ReadWav(std::string(KELVANE_TEST_AUDIO_DIR) + "/" + r.file, &rate);
        DemodContext demod;
        const auto frames = Blocks(Demodulate(demod, samples, rate));
        for (const Bytes& frame : frames) {
            ASSERT_GE(frame.size(), 2u);
            EXPECT_EQ(WithFcs(Bytes(frame.begin(), frame.end() - 2)), frame) << r.file;
        }
        for (const char* payload : r.payloads) {
            Bytes octets = ArmouredToOctets(payload);
            EXPECT_NE(std::find(frames.begin(), frames.end(), WithFcs(octets)), frames.end())
                << r.file << ": " << payload;
        }
    }
}

}  // namespace
}  // namespace kelvane::test
