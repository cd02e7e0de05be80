// One frame as a demodulator found it, before anything checked it.
#pragma once

#include "core/RadioChannel.h"

#include <cstdint>
#include <limits>
#include <span>

namespace kelvane {

// The de-stuffed octets between the flags (FrameBytes, the two check octets
// last), the channel, the stream's sample at which the frame ended, and how
// strong it was where the demodulator can tell.
struct ReceivedFrame {
    std::span<const uint8_t> Bytes;
    RadioChannel Channel = RadioChannel::Unknown;
    int64_t EndSample = 0;
    // The signal's amplitude at full deviation in dB relative to full scale
    // (128 steps of 8-bit audio from the midline), and, from the burst
    // demodulator, its ratio to the noise of one input sample, in dB. NaN
    // where unknown.
    double LevelDb = std::numeric_limits<double>::quiet_NaN();
    double SnrDb = std::numeric_limits<double>::quiet_NaN();
};

}  // namespace kelvane
