// The one place a frame goes once a demodulator has found it, whatever the
// demodulator and whichever channel it came from: the counters, the frame
// check, FrameToBits and the hand-over to the sentence encoder, and the
// input level.
#pragma once

#include "core/MessageOrigin.h"
#include "receiver/FrameSink.h"

#include <cstdint>
#include <span>

namespace kelvane {

class ReceiveCounters;
class SentenceEncoder;
class StationEvents;

// A good frame's payload as MessageBits (PayloadBits), handed to the encoder
// with its origin.
void FrameToBits(std::span<const uint8_t> frame, SentenceEncoder& encoder,
                 const MessageOrigin& origin = {});

class FramePath : public FrameSink {
public:
    FramePath(ReceiveCounters& counters, SentenceEncoder& encoder, StationEvents& events)
        : Counters(counters), Encoder(encoder), Events(events)
    {
    }

    // A new stream: the next initialisation clears the counters again.
    void StartStream() { Cleared = false; }
    // The end of one block of every channel: the largest peak reported
    // since the last call is the input level, from the midline up.
    void ShowLevel();

    void Initialised(RadioChannel channel) override;
    void PreSync(RadioChannel channel) override;
    void Sync(RadioChannel channel) override;
    void Frame(const ReceivedFrame& frame) override;
    void FrameError(RadioChannel channel) override;
    void InputLevel(RadioChannel channel, int32_t peak) override;

private:
    ReceiveCounters& Counters;
    SentenceEncoder& Encoder;
    StationEvents& Events;
    bool Cleared = false;
    int32_t BlockPeak = -1;
};

}  // namespace kelvane
