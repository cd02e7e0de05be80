#include "receiver/FrameCheck.h"

#include <array>

namespace kelvane {

namespace {

// The table of RFC 1662: entry i is i run through eight rounds of the
// reflected generator 0x8408.
constexpr std::array<uint16_t, 256> MakeFcsTable()
{
    std::array<uint16_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t value = i;
        for (int round = 0; round < 8; ++round)
            value = (value & 1U) != 0 ? (value >> 1) ^ 0x8408U : value >> 1;
        table[i] = static_cast<uint16_t>(value);
    }
    return table;
}

constexpr std::array<uint16_t, 256> FcsTable = MakeFcsTable();
static_assert(FcsTable[1] == 0x1189 && FcsTable[7] == 0x74BF && FcsTable[255] == 0x0F78);

}  // namespace

int32_t ComputeFcs(std::span<const uint8_t> bytes, int32_t count)
{
    size_t n = bytes.size();
    if (count >= 0 && static_cast<size_t>(count) < n)
        n = static_cast<size_t>(count);
    uint32_t fcs = 0xFFFF;
    for (size_t i = 0; i < n; ++i)
        fcs = FcsTable[(bytes[i] ^ fcs) & 0xFFU] ^ (fcs >> 8);
    return static_cast<int32_t>(fcs);
}

bool BitIsSet(int32_t value, int32_t bitIndex) { return (value & (1 << bitIndex)) > 0; }

std::vector<int32_t> PayloadBits(std::span<const uint8_t> frame)
{
    const size_t octets = frame.size() >= 2 ? frame.size() - 2 : 0;
    std::vector<int32_t> bits(8 * octets + 1, 0);
    size_t k = 0;
    for (size_t m = 0; m < octets; ++m)
        for (int32_t j = 7; j >= 0; --j)
            bits[++k] = BitIsSet(frame[m], j) ? 1 : 0;
    return bits;
}


}  // namespace kelvane
