#include "ReceiveChain.h"
#include "SentenceEncoder.h"

#include "AisPayload.h"
#include "ChainRig.h"
#include "SignalGenerator.h"

#include <gtest/gtest.h>

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
    c.chain.Start(48000, false, 1);
    Bytes output;
    AddBlock(output, TextBlock("*Period=0.000104\n"));
    AddBlock(output, Report());
    AddBlock(output, TextBlock("*Sync0 7e at 3 nm=0\n"));
    Bytes broken = Report();
    broken[3] ^= 1;
    AddBlock(output, broken);
    AddBlock(output, {});  // two flags in a row
    c.chain.HandleDemodBytes(output);

    EXPECT_EQ(c.counters.SyncCount, 3);
    EXPECT_EQ(c.counters.ValidCount, 1);
    EXPECT_EQ(c.counters.ErrorCount, 2);
    EXPECT_EQ(c.counters.PreSyncCount, 0);
    EXPECT_EQ(c.sink.Blocks, std::vector<std::string>{"!AIVDM,1,1,,,13mn4I0P000HEd>RSk<8Vgv406bh,0*0D\r\n"});
    EXPECT_EQ(c.view.Caption(CounterLabel::lblSyncs), "3");
    EXPECT_EQ(c.view.Caption(CounterLabel::lblVPct), "33%");
    EXPECT_EQ(c.view.Caption(CounterLabel::lblEPct), "67%");
}

TEST(HandleDemodBytes, AFrameBeginningWithStarIsAMessageWhenNotTracing)
{
    ASSERT_EQ(StarFrame()[0], '*');
    for (int trace : {0, 1}) {
        Chain c;
        c.chain.Start(48000, false, trace);
        Bytes output;
        AddBlock(output, StarFrame());
        c.chain.HandleDemodBytes(output);
        EXPECT_EQ(c.counters.ValidCount, trace == 0 ? 1 : 0) << "trace " << trace;
        EXPECT_EQ(c.counters.MsgCountOther, trace == 0 ? 1 : 0);
        EXPECT_EQ(c.sink.Blocks.size(), trace == 0 ? 1u : 0u);
    }
}

TEST(HandleDemodBytes, TruncatedOutputIsReadOnlyAsFarAsItGoes)
{
    Chain c;
    c.chain.Start(48000, false, 0);
    Bytes output;
    AddBlock(output, Report());
    Bytes tail;
    AddBlock(tail, Report());
    output.insert(output.end(), tail.begin(), tail.begin() + 10);  // cut short
    output.push_back(0x05);  // and a lone length byte
    c.chain.HandleDemodBytes(Bytes(output.begin(), output.end() - 1));
    EXPECT_EQ(c.counters.ValidCount, 1);
    EXPECT_EQ(c.counters.ErrorCount, 1);
    c.chain.HandleDemodBytes(Bytes{0x05});
    EXPECT_EQ(c.counters.ErrorCount, 2);
}

TEST(HandleDemodBytes, TrayTipFollowsValidFramesOnlyWhileHidden)
{
    Chain c;
    c.chain.Start(48000, false, 0);
    Bytes output;
    AddBlock(output, Report());
    c.chain.HandleDemodBytes(output);
    EXPECT_TRUE(c.view.TrayTips.empty());
    c.view.Hidden = true;
    c.chain.HandleDemodBytes(output);
    EXPECT_EQ(c.view.TrayTips, std::vector<std::string>{"100% valid."});
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
        c.chain.Start(48000, useLibrary, 0);
        ASSERT_EQ(c.chain.UsingLibrary(), useLibrary) << (c.messages.Shown.empty() ? "" : c.messages.Shown[0].text);
        c.Decode(samples);
        EXPECT_EQ(c.sink.All(), "!AIVDM,1,1,,,13mn4I0P000HEd>RSk<8Vgv406bh,0*0D\r\n");
        EXPECT_EQ(c.counters.PreSyncCount, useLibrary ? 0 : 1);
        ASSERT_FALSE(c.view.Levels.empty());
        EXPECT_EQ(c.view.Levels.back(), 228);
    }
}

TEST(ReceiveChain, LibraryPathShowsPeaksFromTheMidlineUpEvenWithoutFrames)
{
    Chain c;
    c.chain.Start(48000, true, 0);
    ASSERT_TRUE(c.chain.UsingLibrary());
    c.chain.ProcessBlock(Bytes(8192, 127));
    EXPECT_TRUE(c.view.Levels.empty());
    Bytes block(8192, 128);
    block[100] = 200;
    c.chain.ProcessBlock(block);
    EXPECT_EQ(c.view.Levels, std::vector<int>{200});
    EXPECT_EQ(c.counters.SyncCount, 0);
    EXPECT_TRUE(c.view.Captions.empty()) << "no output, no frame handling";
}

}  // namespace
}  // namespace kelvane::test
