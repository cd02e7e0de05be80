#include "receiver/FrameCheck.h"

#include <gtest/gtest.h>

#include <vector>

namespace kelvane {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(ComputeFcs, Crc16X25Vectors)
{
    const Bytes digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(ComputeFcs(digits), 0x6F91);  // complement 0x906E, the published check
    Bytes withCheck = digits;
    withCheck.insert(withCheck.end(), {0x6E, 0x90});
    EXPECT_EQ(ComputeFcs(withCheck), FcsGood);
    EXPECT_EQ(ComputeFcs(Bytes{}), 0xFFFF);
    EXPECT_EQ(ComputeFcs(Bytes{0x00, 0x00}), FcsGood);
    EXPECT_EQ(ComputeFcs(withCheck, 9), 0x6F91);  // a count takes the first octets only
    for (int b = 0; b < 256; ++b)
        EXPECT_NE(ComputeFcs(Bytes{static_cast<uint8_t>(b)}), FcsGood) << b;
}

TEST(PayloadBits, EachOctetFromBit7DownWithoutTheCheckOctets)
{
    EXPECT_EQ(PayloadBits(Bytes{0x01, 0x80, 0xAA, 0xBB}),
              (std::vector<int32_t>{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(PayloadBits(Bytes{0x00, 0x00}), std::vector<int32_t>{0});
    EXPECT_TRUE(BitIsSet(0x80, 7));
    EXPECT_FALSE(BitIsSet(0x7F, 7));
}

}  // namespace
}  // namespace kelvane
