// The one place a frame goes once a demodulator has found it, whatever the
// demodulator and whichever channel it came from: the counters, the frame
// check, FrameToBits and the hand-over to the sentence encoder, and the
// input level for the level bar.
#pragma once

#include "FrameSink.h"

namespace kelvane {

class ReceiveCounters;
class ReceiverView;
class SentenceEncoder;

class FramePath : public FrameSink {
public:
    FramePath(ReceiveCounters& counters, ReceiverView& view, SentenceEncoder& encoder)
        : Counters(counters), View(view), Encoder(encoder)
    {
    }

    // A new stream: the next initialisation clears the counters again.
    void StartStream() { Cleared = false; }
    // The end of one block of every channel: the level bar shows the
    // largest peak reported since the last call, from the midline up.
    void ShowLevel();

    void Initialised(RadioChannel channel) override;
    void PreSync(RadioChannel channel) override;
    void Sync(RadioChannel channel) override;
    void Frame(const ReceivedFrame& frame) override;
    void FrameError(RadioChannel channel) override;
    void InputLevel(RadioChannel channel, int32_t peak) override;

    ReceiveCounters& Counters;

private:
    ReceiverView& View;
    SentenceEncoder& Encoder;
    bool Cleared = false;
    int32_t BlockPeak = -1;
};

}  // namespace kelvane
