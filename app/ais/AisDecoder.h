// Decoding of AIS messages (ITU-R M.1371) from their bits: position reports
// of class A (1, 2, 3) and B (18, 19), base stations (4, 11), static and
// voyage data (5), SAR aircraft (9), aids to navigation (21), class B static
// data (24) and long-range broadcasts (27); the addressee of a UTC inquiry
// (10) and the text of safety messages (12, 14). Every other type gives its
// type, repeat indicator and MMSI.
#pragma once

#include "ais/AisRecord.h"

#include <cstdint>
#include <optional>
#include <span>

namespace kelvane {

// MessageBits: element 0 carries nothing; elements 1..N are the message's
// bits (0 or 1), first bit first. Empty when the message is too short to
// name its sender (under 38 bits).
std::optional<AisRecord> DecodeAisMessage(std::span<const int32_t> messageBits);

}  // namespace kelvane
