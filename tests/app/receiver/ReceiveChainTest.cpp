#include "receiver/ReceiveChain.h"
#include "nmea/SentenceEncoder.h"

#include "support/AisPayload.h"
#include "support/ChainRig.h"
#include "support/SignalGenerator.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <vector>

namespace kelvane::test {
namespace {

using Bytes = std::vector<uint8_t>;

using Chain = ChainRig;

void AddBlock(Bytes& out, const Bytes& content)
{
    out.push_back(static_cast<uint8_t>(content.size() & 0xFF));
    out.push_back(static_cast<uint8_t>(content.size() >> 8));
    out.insert(out.end(), content.begin(), content.end());
}

Bytes TextBlock(const std::string& text) { return Bytes(text.begin(), text.end()); }

const Bytes& Report()
{
    static const Bytes frame = WithFcs(ArmouredToOctets("13mn4I0P000HEd>RSk<8Vgv406bh"));
    return frame;
}

// A type 10 message with repeat indicator 2: its first octet is 0x2A, "*".
const Bytes& StarFrame()
{
    static const Bytes frame = WithFcs(ArmouredToOctets(":P0000000000"));
    return frame;
}

TEST(HandleDemodBytes, FramesAreCountedAndTraceTextSkippedWhileTracing)
{
    Chain c;
    c.Start(48000, false, 1);
    Bytes output;
    AddBlock(output, TextBlock("*Period=0.000104\n"));
    AddBlock(output, Report());
    AddBlock(output, TextBlock("*Sync0 7e at 3 nm=0\n"));
    Bytes broken = Report();
    broken[3] ^= 1;
    AddBlock(output, broken);
    AddBlock(output, {});  // two flags in a row
    c.station.HandleDemodBytes(output);

    EXPECT_EQ(c.Counters().SyncCount, 3);
    EXPECT_EQ(c.Counters().ValidCount, 1);
    EXPECT_EQ(c.Counters().ErrorCount, 2);
    EXPECT_EQ(c.Counters().PreSyncCount, 0);
    EXPECT_EQ(c.events.Blocks, std::vector<std::string>{"!AIVDM,1,1,,,13mn4I0P000HEd>RSk<8Vgv406bh,0*0D\r\n"});
    EXPECT_EQ(c.events.Changed, (std::vector<Counter>{Counter::Syncs, Counter::Valid, Counter::Types123,
                                                      Counter::Syncs, Counter::Errors, Counter::Syncs,
                                                      Counter::Errors}));
}

TEST(HandleDemodBytes, AFrameBeginningWithStarIsAMessageWhenNotTracing)
{
    ASSERT_EQ(StarFrame()[0], '*');
    for (int trace : {0, 1}) {
        Chain c;
        c.Start(48000, false, trace);
        Bytes output;
        AddBlock(output, StarFrame());
        c.station.HandleDemodBytes(output);
        EXPECT_EQ(c.Counters().ValidCount, trace == 0 ? 1 : 0) << "trace " << trace;
        EXPECT_EQ(c.Counters().MsgCountOther, trace == 0 ? 1 : 0);
        EXPECT_EQ(c.events.Blocks.size(), trace == 0 ? 1u : 0u);
    }
}

TEST(HandleDemodBytes, TruncatedOutputIsReadOnlyAsFarAsItGoes)
{
    Chain c;
    c.Start(48000, false, 0);
    Bytes output;
    AddBlock(output, Report());
    Bytes tail;
    AddBlock(tail, Report());
    output.insert(output.end(), tail.begin(), tail.begin() + 10);  // cut short
    output.push_back(0x05);  // and a lone length byte
    c.station.HandleDemodBytes(Bytes(output.begin(), output.end() - 1));
    EXPECT_EQ(c.Counters().ValidCount, 1);
    EXPECT_EQ(c.Counters().ErrorCount, 1);
    c.station.HandleDemodBytes(Bytes{0x05});
    EXPECT_EQ(c.Counters().ErrorCount, 2);
}

TEST(ReceiveChain, BothPathsDecodeAndShowTheLevel)
{
    SignalGenerator gen;
    gen.AddSilence(0.01);
    gen.AddTransmission(ArmouredToOctets("13mn4I0P000HEd>RSk<8Vgv406bh"));
    gen.AddSilence(0.01);
    const Bytes samples = gen.Render();
    for (bool useLibrary : {true, false}) {
        Chain c;
        c.Start(48000, useLibrary, 0);
        ASSERT_EQ((c.station.ActiveDemodulator() == Demodulator::Library), useLibrary) << (c.events.Shown.empty() ? "" : c.events.Shown[0].text);
        c.Decode(samples);
        EXPECT_EQ(c.events.All(), "!AIVDM,1,1,,,13mn4I0P000HEd>RSk<8Vgv406bh,0*0D\r\n");
        EXPECT_EQ(c.Counters().PreSyncCount, useLibrary ? 0 : 1);
        ASSERT_FALSE(c.events.Levels.empty());
        EXPECT_EQ(c.events.Levels.back(), 228);
        // The frame's peak, 100 steps from the midline: 20 log10(100.5 / 128).
        ASSERT_EQ(c.events.Origins.size(), 1u);
        EXPECT_NEAR(c.events.Origins[0].LevelDb, -2.1, 0.1);
    }
}

TEST(ReceiveChain, LibraryPathShowsPeaksFromTheMidlineUpEvenWithoutFrames)
{
    Chain c;
    c.Start(48000, true, 0);
    ASSERT_TRUE((c.station.ActiveDemodulator() == Demodulator::Library));
    c.station.ProcessBlock(Bytes(8192, 127));
    EXPECT_TRUE(c.events.Levels.empty());
    Bytes block(8192, 128);
    block[100] = 200;
    c.station.ProcessBlock(block);
    EXPECT_EQ(c.events.Levels, std::vector<int>{200});
    EXPECT_EQ(c.Counters().SyncCount, 0);
    EXPECT_TRUE(c.events.Changed.empty()) << "no output, no frame handling";
}

}  // namespace
}  // namespace kelvane::test

namespace kelvane::test {
namespace {

// --- Two channels -------------------------------------------------------------

// Distinct position reports, and a static data report (two sentences).
std::vector<Bytes> Traffic(uint32_t seed, int count)
{
    std::vector<Bytes> messages;
    for (int i = 0; i < count; ++i) {
        Bytes report = ArmouredToOctets("13mn4I0P000HEd>RSk<8Vgv406bh");
        report[5] = static_cast<uint8_t>(seed * 16 + static_cast<uint32_t>(i));
        messages.push_back(report);
    }
    Bytes voyage(53, 0x21);
    voyage[0] = 5 << 2;
    voyage[9] = static_cast<uint8_t>(seed);
    messages.push_back(voyage);
    return messages;
}

// A side of the air: the messages with gaps, starting after lead seconds.
SignalGenerator Air(const std::vector<Bytes>& messages, double lead, double gap)
{
    SignalGenerator gen({.noiseRms = 2, .seed = static_cast<uint32_t>(lead * 1000)});
    gen.AddSilence(lead);
    for (const Bytes& m : messages) {
        gen.AddTransmission(m);
        gen.AddSilence(gap);
    }
    return gen;
}

// The payloads (field 6) of the sentences, each with its channel field.
std::multiset<std::string> Payloads(const std::vector<std::string>& blocks)
{
    std::multiset<std::string> payloads;
    for (const std::string& block : blocks) {
        std::vector<std::string> fields;
        std::stringstream split(block.substr(0, block.find('*')));
        for (std::string field; std::getline(split, field, ',');)
            fields.push_back(field);
        payloads.insert(fields.at(4) + ":" + fields.at(5));
    }
    return payloads;
}

std::multiset<std::string> Expected(const std::vector<Bytes>& messages, const std::string& channel)
{
    std::multiset<std::string> payloads;
    for (const std::string& p : Payloads(Sentences(messages)))
        payloads.insert(channel + p);
    return payloads;
}

const Demodulator AllThree[] = {Demodulator::Library, Demodulator::Builtin, Demodulator::Burst};

TEST(TwoChannels, EveryMessageOnceWithItsLetterOnEveryDemodulator)
{
    // Bursts of the two sides overlap in time and straddle blocks of any
    // size; a swap exchanges the letters.
    const std::vector<Bytes> left = Traffic(1, 8), right = Traffic(2, 6);
    const Bytes stereo = Interleave(Air(left, 0.01, 0.013).Render(), Air(right, 0.021, 0.017).Render());
    for (Demodulator which : AllThree) {
        for (bool swap : {false, true}) {
            for (size_t blockFrames : {size_t{8192}, size_t{3001}}) {
                ChainRig c;
                c.Settings.SwapChannels = swap;
                c.Start({48000, 2, 8}, which);
                c.Decode(stereo, blockFrames);
                std::multiset<std::string> expected = Expected(left, swap ? "B" : "A");
                expected.merge(Expected(right, swap ? "A" : "B"));
                EXPECT_EQ(Payloads(c.events.Blocks), expected)
                    << static_cast<int>(which) << (swap ? " swapped" : "") << ", blocks of " << blockFrames;
                EXPECT_EQ(c.Counters().ValidCount, 16);
                EXPECT_EQ(swap ? c.Counters().ValidCountB : c.Counters().ValidCountA, 9);
            }
        }
    }
}

TEST(TwoChannels, ASideAloneGivesWhatItGivesAsMonoAndASilentSideNothing)
{
    const std::vector<Bytes> left = Traffic(3, 10);
    SignalGenerator quiet({.noiseRms = 2, .seed = 9});
    quiet.AddSilence(0.5);
    const Bytes mono = Air(left, 0.01, 0.011).Render();
    const Bytes stereo = Interleave(mono, quiet.Render());
    for (Demodulator which : AllThree) {
        ChainRig alone, both;
        alone.Start(48000, which);
        alone.Decode(mono);
        both.Start({48000, 2, 8}, which);
        both.Decode(stereo);
        std::multiset<std::string> lettered;
        for (const std::string& p : Payloads(alone.events.Blocks))
            lettered.insert("A" + p);
        EXPECT_EQ(Payloads(both.events.Blocks), lettered) << static_cast<int>(which);
        EXPECT_EQ(both.Counters().SyncCount, alone.Counters().SyncCount);
        EXPECT_EQ(both.Counters().ValidCountB, 0);
        EXPECT_EQ(alone.events.Blocks.front().substr(0, 14), "!AIVDM,1,1,,,1") << "mono: no letter";
    }
}

TEST(TwoChannels, SixteenBitsGiveTheZeroCrossingPathsWhatTheirEightBitConversionGives)
{
    // A real recording: 16-bit stereo, both sides the same air.
    AudioFormat format;
    const Bytes wide = ReadWav(std::string(KELVANE_TEST_AUDIO_DIR) + "/bergen-48k-s16-stereo.wav",
                               nullptr, &format);
    ASSERT_EQ(format, (AudioFormat{48000, 2, 16}));
    Bytes narrow;
    for (size_t i = 0; i + 1 < wide.size(); i += 2)
        narrow.push_back(static_cast<uint8_t>((static_cast<int16_t>(wide[i] | wide[i + 1] << 8) >> 8) + 128));
    for (Demodulator which : {Demodulator::Library, Demodulator::Builtin}) {
        ChainRig fromWide, fromNarrow;
        fromWide.Start(format, which);
        fromWide.Decode(wide);
        fromNarrow.Start({48000, 2, 8}, which);
        fromNarrow.Decode(narrow);
        EXPECT_EQ(fromWide.events.Blocks, fromNarrow.events.Blocks);
        EXPECT_GE(fromWide.Counters().ValidCountA, 3);
        EXPECT_EQ(fromWide.Counters().ValidCountA, fromWide.Counters().ValidCountB);
    }
    ChainRig burst;
    burst.Start(format, Demodulator::Burst);
    burst.Decode(wide);
    EXPECT_GE(burst.Counters().ValidCountA, 4) << "the burst demodulator reads the 16 bits";
}

}  // namespace
}  // namespace kelvane::test
