// HDLC frame check sequence, FCS-16 of ISO/IEC 13239 and ITU-T X.25
// (CRC-16/X-25: reflected polynomial 0x8408, initial value 0xFFFF).
#pragma once

#include <cstdint>
#include <span>

namespace kelvane {

// Register value after running the check over a frame's data followed by its
// correct check octets.
inline constexpr int32_t FcsGood = 0xF0B8;

// Runs the check register over the first count octets (all of them when count
// is negative) and returns it, not complemented. A sender appends the
// complement low octet first; a receiver runs over data and check octets
// together and compares with FcsGood.
int32_t ComputeFcs(std::span<const uint8_t> bytes, int32_t count = -1);

}  // namespace kelvane
