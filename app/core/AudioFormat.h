// The shape of a stream of PCM samples: its rate, its channels (one, or two
// interleaved, left first) and its sample size (8-bit unsigned with the
// midline at 127.5, or 16-bit signed little-endian).
#pragma once

#include <cstdint>

namespace kelvane {

struct AudioFormat {
    int32_t SampleRate = 0;
    int32_t Channels = 1;
    int32_t BitsPerSample = 8;

    int32_t FrameBytes() const { return Channels * BitsPerSample / 8; }
    bool operator==(const AudioFormat&) const = default;
};

// Frames per capture buffer and replay block.
inline constexpr int32_t BlockFrames = 8192;

}  // namespace kelvane
