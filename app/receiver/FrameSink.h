// What every demodulator reports as it finds frames. The demodulators only
// find them; one FramePath counts, checks and encodes them for all.
#pragma once

#include "RadioChannel.h"

#include <cstdint>
#include <limits>
#include <span>

namespace kelvane {

// One received frame: the de-stuffed octets between the flags (FrameBytes,
// the two check octets last), the channel, the stream's sample at which the
// frame ended, and how strong it was where the demodulator can tell.
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

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // The built-in demodulator initialises at its stream's first block and
    // clears every counter then.
    virtual void Initialised(RadioChannel channel) = 0;
    // A training sequence followed by the start of a flag.
    virtual void PreSync(RadioChannel channel) = 0;
    // A start flag: the frame after it is counted as a sync before it ends.
    virtual void Sync(RadioChannel channel) = 0;
    // A frame that ended with its closing flag: checked, and counted valid
    // or as an error.
    virtual void Frame(const ReceivedFrame& frame) = 0;
    // A frame that ended without one to check (too long, or undecodable):
    // an error.
    virtual void FrameError(RadioChannel channel) = 0;
    // The largest sample of a block, 0 to 255.
    virtual void InputLevel(RadioChannel channel, int32_t peak) = 0;
};

}  // namespace kelvane
