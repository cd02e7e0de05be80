// What every demodulator reports as it finds frames. The demodulators only
// find them; one FramePath counts, checks and encodes them for all.
#pragma once

#include "core/ReceivedFrame.h"

#include <cstdint>

namespace kelvane {

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
