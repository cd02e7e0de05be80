#include "support/AisPayload.h"
#include "support/ChainRig.h"
#include "support/SignalGenerator.h"

#include <gtest/gtest.h>

#include <vector>

namespace kelvane::test {
namespace {

using Bytes = std::vector<uint8_t>;

const char* const ReportPayload = "13mn4I0P000HEd>RSk<8Vgv406bh";
const char* const ReportSentence = "!AIVDM,1,1,,,13mn4I0P000HEd>RSk<8Vgv406bh,0*0D\r\n";

// The built-in demodulator on the receive chain, fed by the replay loop.
struct Receiver : ChainRig {
    explicit Receiver(int rate) : Rate(rate) { Reset(); }
    void Reset() { Start(Rate, Demodulator::Builtin); }
    void Feed(const Bytes& samples, size_t blockSize = 8192) { Decode(samples, blockSize); }
    int Rate;
};

Bytes Transmissions(const std::vector<Bytes>& messages, const RenderOptions& render = {},
                    const TransmissionOptions& tx = {})
{
    SignalGenerator gen(render);
    for (const Bytes& m : messages) {
        gen.AddSilence(0.005);
        gen.AddTransmission(m, tx);
    }
    gen.AddSilence(0.005);
    return gen.Render();
}

TEST(BuiltinDemodulator, DecodesAtBothRatesAndAnOddOneInAnyBlockSize)
{
    for (int rate : {44100, 48000, 50000}) {
        RenderOptions render;
        render.sampleRate = rate;
        const Bytes samples = Transmissions({ArmouredToOctets(ReportPayload)}, render);
        for (size_t blockSize : {size_t{8192}, size_t{1000}, size_t{7}, size_t{2}}) {
            Receiver r(rate);
            r.Feed(samples, blockSize);
            EXPECT_EQ(r.events.All(), ReportSentence) << rate << " Hz, blocks of " << blockSize;
            EXPECT_EQ(r.Counters().PreSyncCount, 1);
            EXPECT_EQ(r.Counters().SyncCount, 1);
            EXPECT_EQ(r.Counters().ValidCount, 1);
        }
    }
}

TEST(BuiltinDemodulator, EachTransmissionKeepsItsOwnPolarity)
{
    // A low long run first, then high ones: the polarity is chosen afresh at
    // every PreSync, so none of the later frames is misread.
    SignalGenerator gen;
    const Bytes report = ArmouredToOctets(ReportPayload);
    for (bool startsLow : {false, true, true, false, true}) {
        gen.AddSilence(0.005);
        gen.AddTransmission(report, {.startsLow = startsLow});
    }
    gen.AddSilence(0.005);
    Receiver r(48000);
    r.Feed(gen.Render());
    EXPECT_EQ(r.Counters().ValidCount, 5);
    EXPECT_EQ(r.Counters().ErrorCount, 0);
}

TEST(BuiltinDemodulator, TenTrainingRunsAreNeededNineAreNot)
{
    // With the ramp's run first, 2n training bits give n two-bit runs.
    for (int runs : {9, 10}) {
        RenderOptions render;
        render.gmsk = false;
        Receiver r(48000);
        r.Feed(Transmissions({ArmouredToOctets(ReportPayload)}, render, {.trainingBits = 2 * runs}));
        EXPECT_EQ(r.Counters().PreSyncCount, runs == 10 ? 1 : 0) << runs << " runs";
        EXPECT_EQ(r.Counters().ValidCount, runs == 10 ? 1 : 0) << runs << " runs";
    }
}

TEST(BuiltinDemodulator, OneFlagMismatchIsAllowedTwoAreNot)
{
    // A flag sent with its last bit as 1 reads 1111111 (one off); with its
    // sixth 1 sent as 0 it reads 1111101 (two off).
    Receiver one(48000);
    one.Feed(Transmissions({ArmouredToOctets(ReportPayload)}, {}, {.startFlagFlips = 0x80}));
    EXPECT_EQ(one.Counters().ValidCount, 1);
    Receiver two(48000);
    two.Feed(Transmissions({ArmouredToOctets(ReportPayload)}, {}, {.startFlagFlips = 0x40}));
    EXPECT_EQ(two.Counters().PreSyncCount, 1);
    EXPECT_EQ(two.Counters().SyncCount, 0);
}

TEST(BuiltinDemodulator, LengthLimitAndCheckFailuresCountAsErrors)
{
    Receiver r(48000);
    const Bytes longest(124, 0x55);   // 126 bytes with the FCS: checked, valid
    const Bytes tooLong(125, 0x55);   // the 127th byte is an error
    r.Feed(Transmissions({longest, tooLong}));
    r.Feed(Transmissions({ArmouredToOctets(ReportPayload)}, {}, {.corruptFcs = true}));
    r.Feed(Transmissions({Bytes{}}));  // just the FCS of nothing, 00 00: valid, no payload
    EXPECT_EQ(r.Counters().SyncCount, 4);
    EXPECT_EQ(r.Counters().ValidCount, 2);
    EXPECT_EQ(r.Counters().ErrorCount, 2);
}

TEST(BuiltinDemodulator, ResetClearsAllTenCountersAtTheNextBuffer)
{
    Receiver r(48000);
    const Bytes samples = Transmissions({ArmouredToOctets(ReportPayload)});
    r.Feed(samples);
    // Counts that only a live run or other traffic would have made.
    auto& counts = const_cast<ReceiveCounters&>(r.Counters());
    counts.OverrunCount = 3;
    counts.MsgCount5 = 2;
    r.Reset();
    r.Feed(Bytes(100, 128));
    EXPECT_EQ(r.Counters().ValidCount, 0);
    EXPECT_EQ(r.Counters().MsgCount123, 0);
    EXPECT_EQ(r.Counters().OverrunCount, 0);
    EXPECT_EQ(r.Counters().MsgCount5, 0);
    r.Feed(samples);
    EXPECT_EQ(r.Counters().ValidCount, 1);
}

TEST(BuiltinDemodulator, LevelBarShowsPeaksFromTheMidlineUp)
{
    Receiver r(48000);
    r.Feed(Bytes(50, 127));
    EXPECT_TRUE(r.events.Levels.empty());
    r.Reset();
    r.Feed(Bytes{1});  // a one-sample first buffer after a reset is read safely
    r.Feed(Bytes(50, 200));
    EXPECT_EQ(r.events.Levels, std::vector<int>{200});
}

}  // namespace
}  // namespace kelvane::test
