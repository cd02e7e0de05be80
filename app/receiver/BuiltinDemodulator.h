// Kelvane's own AIS receiver: zero-crossing demodulation of GMSK
// discriminator audio (ITU-R M.1371) with an HDLC receiver (ISO/IEC 13239),
// the alternative to the Brinecore library.
#pragma once

#include "ReceiveCounters.h"
#include "ReceiverView.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace kelvane {

class SentenceEncoder;

class BuiltinDemodulator {
public:
    BuiltinDemodulator(ReceiveCounters& counters, ReceiverView& view, SentenceEncoder& encoder)
        : Counters(counters), View(view), Encoder(encoder)
    {
    }

    // Asks the next call to initialise: state, timing from SampleRate and
    // BaudRate, and all ten counters.
    void Reset() { PrevSample = -1; }

    // Demodulates one buffer. State carries over, so a frame may straddle any
    // number of buffers. Counts PreSyncs, Syncs, Valid and Errors, hands good
    // frames to the encoder and shows the buffer's peak on the level bar.
    void DemodulateSamples(std::span<const uint8_t> samples);

    int32_t SampleRate = 44100;
    int32_t BaudRate = 9600;
    // The last sample processed, or -1 to ask for initialisation.
    int32_t PrevSample = -1;

private:
    enum RxState : int32_t { Hunting = 0, MatchingFlag = 1, InFrame = 2 };

    void Initialise(std::span<const uint8_t> samples);
    void Crossing(double interval, int32_t level);
    bool FrameBit(int32_t bit);  // false when the frame ended
    void CompleteFrame();

    ReceiveCounters& Counters;
    ReceiverView& View;
    SentenceEncoder& Encoder;

    // Timing is held in single precision, and every comparison is made
    // against these stored single values (see the .cpp for the arithmetic).
    float BitPeriod = 0;
    float SamplePeriod = 0;
    float ShortRunLimit = 0;
    float LongRunLimit = 0;
    float FlagRunLimit = 0;  // 5 x BitPeriod, rounded to single precision
    bool TimingValid = false;
    bool InvertLevels = false;
    std::vector<uint8_t> Frame;

    // DemodState.
    int32_t State = Hunting;
    float BitPhase = 0;
    float SinceCrossing = 0;
    int32_t BitCount = 0;
    int32_t PreambleMin = 9;
    int32_t PreambleRuns = 0;
    int32_t FlagErrorsAllowed = 1;
    int32_t ByteValue = 0;
    int32_t BitInByte = 0;
    int32_t SixOnesSeen = 0;
    int32_t OnesRun = 0;
    std::array<int32_t, 8> FlagBits{};  // 1-based: FlagBits[1..7]

    // Per call.
    int32_t FlagMismatches = 0;
};

}  // namespace kelvane
