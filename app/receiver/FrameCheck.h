// HDLC frame check sequence, FCS-16 of ISO/IEC 13239 and ITU-T X.25
// (CRC-16/X-25: reflected polynomial 0x8408, initial value 0xFFFF), and a good
// frame's payload as message bits.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kelvane {

// Register value after running the check over a frame's data followed by its
// correct check octets.
inline constexpr int32_t FcsGood = 0xF0B8;

// Runs the check register over the first count octets (all of them when count
// is negative) and returns it, not complemented. A sender appends the
// complement low octet first; a receiver runs over data and check octets
// together and compares with FcsGood.
int32_t ComputeFcs(std::span<const uint8_t> bytes, int32_t count = -1);

// True when bit bitIndex (0..7) of value is set.
bool BitIsSet(int32_t value, int32_t bitIndex);

// A good frame's payload (the frame without its two check octets) as
// MessageBits: element 0 empty, then each octet from bit 7 down to bit 0.
// Octets arrive least significant bit first, so this restores the order in
// which the message's fields were written.
std::vector<int32_t> PayloadBits(std::span<const uint8_t> frame);

}  // namespace kelvane
