// Where recorded blocks come from: a WAV file or stream, or samples in
// memory.
#pragma once

#include "core/AudioFormat.h"

#include <cstdint>
#include <string>

namespace kelvane {

class BlockSource {
public:
    virtual ~BlockSource() = default;
    virtual AudioFormat Format() const = 0;
    // The most bytes one Read gives: BlockFrames whole frames, as a rule.
    virtual int32_t BlockBytes() const = 0;
    // The next block into buffer, which holds BlockBytes(): its size in
    // bytes, 0 at the end, or -1 after a read error (see ReadError).
    virtual int32_t Read(uint8_t* buffer) = 0;
    virtual std::string ReadError() const = 0;
};

}  // namespace kelvane
