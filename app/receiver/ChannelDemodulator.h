// The face every demodulator shows the receive chain: started at a rate,
// fed one channel's blocks in order, finished at the end of the stream. Each
// instance serves one channel and reports what it finds to a FrameSink.
#pragma once

#include <cstdint>
#include <span>

namespace kelvane {

// One channel's samples of a block: always 8-bit; the 16-bit samples too
// when the source had them (the 8-bit ones are then their top byte plus 128).
struct ChannelBlock {
    std::span<const uint8_t> Bytes;
    std::span<const int16_t> Wide;
};

// The level of samples whose extremes were low and high, as the zero-crossing
// demodulators report a frame's: the larger swing from the midline in dB
// relative to full scale (128 steps).
double PeakLevelDb(uint8_t low, uint8_t high);

class ChannelDemodulator {
public:
    virtual ~ChannelDemodulator() = default;
    virtual void Start(int32_t sampleRate) = 0;
    virtual void ProcessBlock(const ChannelBlock& block) = 0;
    // The end of the stream: whatever still waits for samples is decided.
    virtual void Finish() = 0;
};

}  // namespace kelvane
