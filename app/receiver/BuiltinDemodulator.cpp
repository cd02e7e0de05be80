#include "receiver/BuiltinDemodulator.h"

#include "receiver/ChannelDemodulator.h"

#include <algorithm>
#include <cmath>
#include <string_view>

// Arithmetic. The stored timing values (BitPeriod, SamplePeriod, the run
// limits, BitPhase and SinceCrossing) are C++ float. Expressions are worked
// in double, as the constants 127.5, 1.2, 3.5 and 5 are double, and the
// result is rounded to float when it is stored. Comparisons promote the
// stored float exactly, so they are made against the stored single values:
// an interval is compared with ShortRunLimit, LongRunLimit and FlagRunLimit
// as stored, and the bit clock compares the float BitPhase with the float
// BitPeriod.

namespace kelvane {

namespace {

constexpr std::string_view FlagPattern = "1111110";

}  // namespace

void BuiltinDemodulator::Initialise(std::span<const uint8_t> samples)
{
    // The second sample starts the stream; a one-sample buffer makes do
    // with its only sample.
    PrevSample = samples[samples.size() > 1 ? 1 : 0];
    State = Hunting;
    BitPhase = 0;
    BitCount = 0;
    PreambleRuns = 0;
    Sink.Initialised(Channel);
    StreamSample = 0;
    InvertLevels = false;
    TimingValid = SampleRate > 0 && BaudRate > 0;
    if (TimingValid) {
        BitPeriod = static_cast<float>(1.0 / BaudRate);
        ShortRunLimit = static_cast<float>(1.2 * BitPeriod);
        LongRunLimit = static_cast<float>(3.5 * BitPeriod);
        FlagRunLimit = static_cast<float>(5.0 * BitPeriod);
        SamplePeriod = static_cast<float>(1.0 / SampleRate);
    }
    PreambleMin = 9;
    for (size_t i = 0; i < FlagPattern.size(); ++i)
        FlagBits[i + 1] = FlagPattern[i] - '0';
    FlagErrorsAllowed = 1;
    SinceCrossing = -SamplePeriod;
}

void BuiltinDemodulator::DemodulateSamples(std::span<const uint8_t> samples)
{
    if (samples.empty())
        return;
    if (PrevSample == -1)
        Initialise(samples);
    int32_t peak = 0;
    FlagMismatches = 0;
    for (const uint8_t s : samples) {
        ++StreamSample;
        peak = std::max(peak, static_cast<int32_t>(s));
        FrameHigh = std::max(FrameHigh, s);
        FrameLow = std::min(FrameLow, s);
        if (!TimingValid)
            continue;
        SinceCrossing = SinceCrossing + SamplePeriod;
        const bool crossing = (PrevSample > 127 && s < 128) || (PrevSample < 128 && s > 127);
        if (crossing) {
            // The crossing lies a/d of a sample period after the previous
            // sample; Frac is the time from it to this sample.
            const double a = std::abs(PrevSample - 127.5);
            const double d = std::abs(PrevSample - static_cast<int32_t>(s));
            const double frac = (1.0 - a / d) * SamplePeriod;
            const double interval = SinceCrossing - frac;
            SinceCrossing = static_cast<float>(frac);
            Crossing(interval, PrevSample > 127 ? 1 : 0);
        }
        PrevSample = s;
    }
    Sink.InputLevel(Channel, peak);
}

void BuiltinDemodulator::Crossing(double interval, int32_t level)
{
    if (State == Hunting) {
        // Training 0101... gives runs of two bits after NRZI; a PreSync needs
        // at least ten of them, then a run longer than five bits: the
        // flag's seven-bit run.
        if (interval < ShortRunLimit) {
            if (PreambleRuns < PreambleMin)
                PreambleRuns = 0;
            return;
        }
        if (interval <= LongRunLimit) {
            ++PreambleRuns;
            return;
        }
        if (PreambleRuns <= PreambleMin) {
            PreambleRuns = 0;
            return;
        }
        if (!(interval > FlagRunLimit))
            return;
        BitPhase = static_cast<float>(-0.5 * BitPeriod);  // sample mid-bit
        State = MatchingFlag;
        // Assigned at every PreSync, so that the long run reads as 1s
        // whatever the polarity of this transmission.
        InvertLevels = level == 0;
        Sink.PreSync(Channel);
        // The frame's level is taken from here to its end.
        FrameHigh = FrameLow = static_cast<uint8_t>(PrevSample);
        FlagMismatches = 0;
        PreambleRuns = 0;
        BitCount = 0;
    }

    BitPhase = static_cast<float>(BitPhase + interval);
    int32_t bit = InvertLevels ? 1 - level : level;
    if (State == InFrame)
        bit = 0;  // NRZI: the transition that began this run is a 0
    while (BitPhase >= BitPeriod) {
        BitPhase = BitPhase - BitPeriod;
        if (State == MatchingFlag) {
            // Here a bit is the run's level: six 1s from the flag's long
            // run, then the first bit period of the next run, the flag's 0.
            ++BitCount;
            if (bit != FlagBits[static_cast<size_t>(BitCount)] && ++FlagMismatches > FlagErrorsAllowed) {
                State = Hunting;
                return;
            }
            if (BitCount == 7) {
                Sink.Sync(Channel);
                Hdlc.Start();
                State = InFrame;
                bit = 1;
            }
        } else {
            if (!FrameBit(bit))
                return;  // the rest of the run is not used
            bit = 1;     // the remaining bits of a run carry no transition
        }
    }
}

bool BuiltinDemodulator::FrameBit(int32_t bit)
{
    switch (Hdlc.Bit(bit)) {
    case HdlcReceiver::Event::Frame:
        State = Hunting;
        Sink.Frame({Hdlc.Octets(), Channel, StreamSample, PeakLevelDb(FrameLow, FrameHigh)});
        return false;
    case HdlcReceiver::Event::Overlong:
        Sink.FrameError(Channel);
        State = Hunting;
        return false;
    default:
        return true;  // read octet by octet, a frame neither aborts nor starts again
    }
}

}  // namespace kelvane
