// Kelvane's own AIS receiver: zero-crossing demodulation of GMSK
// discriminator audio (ITU-R M.1371) with an HDLC receiver (ISO/IEC 13239),
// the alternative to the Brinecore library.
#pragma once

#include "receiver/ChannelDemodulator.h"
#include "receiver/FrameSink.h"
#include "receiver/HdlcReceiver.h"

#include <array>
#include <cstdint>
#include <span>

namespace kelvane {

class BuiltinDemodulator : public ChannelDemodulator {
public:
    explicit BuiltinDemodulator(FrameSink& sink, RadioChannel channel = RadioChannel::Unknown)
        : Sink(sink), Channel(channel)
    {
    }

    // Asks the next call to initialise: state, timing from SampleRate and
    // BaudRate, and (through the sink) all ten counters.
    void Reset() { PrevSample = -1; }

    // Demodulates one buffer. State carries over, so a frame may straddle any
    // number of buffers. Reports PreSyncs, Syncs, frames and errors, and the
    // buffer's peak.
    void DemodulateSamples(std::span<const uint8_t> samples);

    // ChannelDemodulator: the stream's rate at 9600 bit/s; the 8-bit samples.
    void Start(int32_t sampleRate) override
    {
        SampleRate = sampleRate;
        BaudRate = 9600;
        Reset();
    }
    void ProcessBlock(const ChannelBlock& block) override { DemodulateSamples(block.Bytes); }
    void Finish() override {}

    int32_t SampleRate = 44100;
    int32_t BaudRate = 9600;
    // The last sample processed, or -1 to ask for initialisation.
    int32_t PrevSample = -1;

private:
    enum RxState : int32_t { Hunting = 0, MatchingFlag = 1, InFrame = 2 };

    void Initialise(std::span<const uint8_t> samples);
    void Crossing(double interval, int32_t level);
    bool FrameBit(int32_t bit);  // false when the frame ended

    FrameSink& Sink;
    RadioChannel Channel;
    int64_t StreamSample = 0;  // the sample being demodulated, from the stream's first
    uint8_t FrameHigh = 128;   // the extremes since the frame's PreSync
    uint8_t FrameLow = 128;

    // Timing is held in single precision, and every comparison is made
    // against these stored single values (see the .cpp for the arithmetic).
    float BitPeriod = 0;
    float SamplePeriod = 0;
    float ShortRunLimit = 0;
    float LongRunLimit = 0;
    float FlagRunLimit = 0;  // 5 x BitPeriod, rounded to single precision
    bool TimingValid = false;
    bool InvertLevels = false;
    // A frame of more than 126 octets, its FCS among them, is an error.
    HdlcReceiver Hdlc{HdlcReceiver::Framing::Octetwise, 126};

    // DemodState.
    int32_t State = Hunting;
    float BitPhase = 0;
    float SinceCrossing = 0;
    int32_t BitCount = 0;
    int32_t PreambleMin = 9;
    int32_t PreambleRuns = 0;
    int32_t FlagErrorsAllowed = 1;
    std::array<int32_t, 8> FlagBits{};  // 1-based: FlagBits[1..7]

    // Per call.
    int32_t FlagMismatches = 0;
};

}  // namespace kelvane
