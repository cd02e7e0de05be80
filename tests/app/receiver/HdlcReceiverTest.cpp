#include "receiver/HdlcReceiver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane {
namespace {

using Event = HdlcReceiver::Event;
using Octets = std::vector<uint8_t>;

const std::string Flag = "01111110";

// The octets as sent: least significant bit first, a 0 after five 1s.
std::string Sent(const Octets& octets)
{
    std::string bits;
    int ones = 0;
    for (uint8_t octet : octets) {
        for (int i = 0; i < 8; ++i) {
            const bool one = ((octet >> i) & 1) != 0;
            bits += one ? '1' : '0';
            ones = one ? ones + 1 : 0;
            if (ones == 5) {
                bits += '0';
                ones = 0;
            }
        }
    }
    return bits;
}

// What the bits make, with each frame's octets.
struct Heard {
    std::vector<Event> Events;
    std::vector<Octets> Frames;
    std::vector<bool> Whole;
};

Heard Feed(HdlcReceiver& receiver, const std::string& bits)
{
    Heard heard;
    for (char bit : bits) {
        const Event event = receiver.Bit(bit == '1' ? 1 : 0);
        if (event == Event::None)
            continue;
        heard.Events.push_back(event);
        if (event == Event::Frame) {
            heard.Frames.emplace_back(receiver.Octets().begin(), receiver.Octets().end());
            heard.Whole.push_back(receiver.WholeOctets());
        }
    }
    return heard;
}

TEST(HdlcReceiver, FramesSharingFlagsWithStuffingAcrossOctets)
{
    // Five 1s across an octet boundary (0xF0 0x01), eight in one (0xFF), a
    // flag's pattern as data (0x7E); then a second frame on the closing flag.
    const Octets first = {0xF0, 0x01, 0xFF, 0x7E, 0x3E};
    const Octets second = {0xF8, 0x0F};
    HdlcReceiver receiver(HdlcReceiver::Framing::Bitwise, 8);
    const Heard heard = Feed(receiver, "0101" + Flag + Sent(first) + Flag + Sent(second) + Flag);
    EXPECT_EQ(heard.Events, (std::vector<Event>{Event::FrameStart, Event::Frame, Event::Frame}));
    EXPECT_EQ(heard.Frames, (std::vector<Octets>{first, second}));
    EXPECT_EQ(heard.Whole, (std::vector<bool>{true, true}));
}

TEST(HdlcReceiver, AbortThenFlagsSharingTheirZero)
{
    // Seven 1s abort; the receiver hunts, and a flag that shares the 0 of
    // the one before it starts the frame again rather than ending one.
    HdlcReceiver receiver(HdlcReceiver::Framing::Bitwise, 8);
    receiver.Start();
    const Heard heard = Feed(receiver, Sent({0x12}) + "01111111" + Flag + "1111110" + Sent({0x34}) + Flag);
    EXPECT_EQ(heard.Events, (std::vector<Event>{Event::Abort, Event::FrameStart, Event::FrameStart, Event::Frame}));
    EXPECT_EQ(heard.Frames, (std::vector<Octets>{{0x34}}));
}

TEST(HdlcReceiver, BitwiseFlagOffTheBoundaryAndLengthLimit)
{
    HdlcReceiver receiver(HdlcReceiver::Framing::Bitwise, 2);
    receiver.Start();
    Heard heard = Feed(receiver, Sent({0x5A, 0x00}) + "101" + Flag);
    EXPECT_EQ(heard.Frames, (std::vector<Octets>{{0x5A, 0x00}}));
    EXPECT_EQ(heard.Whole, (std::vector<bool>{false}));
    heard = Feed(receiver, Sent({1, 2}) + Flag);  // the limit itself, on the shared flag
    EXPECT_EQ(heard.Frames, (std::vector<Octets>{{1, 2}}));
    // One more: its flag's 0 passes the limit, and the rest of that flag
    // opens the next frame.
    heard = Feed(receiver, Sent({1, 2, 3}) + Flag);
    EXPECT_EQ(heard.Events, (std::vector<Event>{Event::Overlong, Event::FrameStart}));
}

TEST(HdlcReceiver, OctetwiseClosesOnlyOnAnOctetThatReadsAsAFlag)
{
    // 0x7E sent as data is data; a flag off the boundary and seven 1s are
    // data too, but they arm the close, so the next octet on the boundary
    // that reads 0x7E ends the frame.
    HdlcReceiver receiver(HdlcReceiver::Framing::Octetwise, 126);
    receiver.Start();
    const Heard heard = Feed(receiver, Sent({0x7E}) + "0" + Flag + "0" + "11111110" + "000000" + Flag);
    ASSERT_EQ(heard.Events, std::vector<Event>{Event::Frame});
    EXPECT_EQ(heard.Frames[0], (Octets{0x7E, 0xFC, 0xFC, 0x01}));
}

}  // namespace
}  // namespace kelvane
