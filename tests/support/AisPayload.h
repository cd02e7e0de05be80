// AIS payload armouring of IEC 61162-1 / ITU-R M.1371: 6-bit characters.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kelvane::test {

// The message bits (one 0/1 per element) of an armoured payload, without its
// fill bits.
std::vector<uint8_t> ArmouredToBits(std::string_view payload, int fillBits = 0);

// The octets a receiver assembles for the message of an armoured payload
// (without FCS), last octet zero-padded.
std::vector<uint8_t> ArmouredToOctets(std::string_view payload, int fillBits = 0);

}  // namespace kelvane::test
