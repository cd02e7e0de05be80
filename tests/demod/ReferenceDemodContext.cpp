// Zero-crossing demodulator for AIS (ITU-R M.1371): finds the training
// sequence and the start flag in the intervals between midline crossings,
// runs a bit clock from those intervals, NRZI-decodes, removes HDLC bit
// stuffing (ISO/IEC 13239) and assembles frame bytes least significant bit
// first.
#include "ReferenceDemodContext.h"

#include "TraceFile.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brinecore::reference {

namespace {

// A sample of 128 or more is above the midline of 127.5.
constexpr int32_t HighThreshold = 128;

// The start flag's bits as the flag matcher sees them: the first bit of the
// long run is the most significant, "1111110".
constexpr uint16_t FlagPattern = 0x7E;
constexpr uint16_t FlagMask = 0x7F;
constexpr int32_t FlagBits = 7;

// After PreSync, this many intervals outside the nominal two bit periods
// give up the search for the start flag's long run.
constexpr int32_t OffIntervalLimit = 14;

// Distance of a sample from the midline, as an index: sample 128 and sample
// 127 are both half a step away (index 0), 255 and 0 are 127.5 (index 127).
constexpr int32_t MidlineDistanceIndex(int32_t sample)
{
    // sample - 128 above the midline, 127 - sample below, without a branch.
    return sample ^ (0x7F + (sample >> 7));
}

// a when choice is 1, b when it is 0, chosen without a branch. On x86 the
// choice stays in the vector registers that hold the doubles, so the time
// since the last crossing, carried from sample to sample, is held up only by
// its addition.
inline double Select(int32_t choice, double a, double b)
{
#if defined(__SSE2__)
    const __m128d mask = _mm_castsi128_pd(_mm_set1_epi64x(-static_cast<int64_t>(choice)));
    return _mm_cvtsd_f64(_mm_or_pd(_mm_and_pd(mask, _mm_set_sd(a)), _mm_andnot_pd(mask, _mm_set_sd(b))));
#else
    const uint64_t mask = 0 - static_cast<uint64_t>(choice);
    return std::bit_cast<double>((std::bit_cast<uint64_t>(a) & mask) |
                                 (std::bit_cast<uint64_t>(b) & ~mask));
#endif
}

// For a crossing between samples at midline distances a and b, the part of
// the sample interval that lies after the crossing: 1 - f, where f = a / (a +
// b) is |prev - 127.5| divided by |prev - s|. A table of the very same
// operations keeps a division off the path that noise takes at almost every
// other sample.
struct CrossingFractions {
    std::array<std::array<double, 128>, 128> After{};
    constexpr CrossingFractions()
    {
        for (int i = 0; i < 128; ++i) {
            for (int j = 0; j < 128; ++j) {
                const double f = (i + 0.5) / static_cast<double>(i + j + 1);
                After[static_cast<size_t>(i)][static_cast<size_t>(j)] = 1.0 - f;
            }
        }
    }
};
constexpr CrossingFractions Fractions;

}  // namespace

DemodContext::~DemodContext() { CloseTrace(); }

int32_t DemodContext::ReInit(int32_t unused)
{
    ReInitArgument = unused;
    Initialised = false;
    return 0;
}

int32_t DemodContext::GetErrorMessage(char* buffer)
{
    if (buffer != nullptr)
        buffer[0] = '\0';
    return 0;
}

int32_t DemodContext::AudioToBytes(const uint8_t* samples, int32_t sampleCount,
                                   uint8_t* outBuffer, int32_t sampleRate, int32_t baudRate,
                                   int32_t* peakLevel, int32_t traceFlag)
{
    if (samples == nullptr)
        sampleCount = 0;
    OutBuffer = outBuffer;
    OutPos = 0;
    TextCount = 0;
    TraceOn = traceFlag == 1;
    CounterBase = static_cast<uint32_t>(SampleCounter);

    if (!Initialised)
        Initialise(samples, sampleCount, sampleRate, baudRate);

    int32_t result = 0;
    int32_t peak = 0;
    if (sampleCount > 0) {
        for (int32_t i = 0; i < sampleCount; ++i)  // kept simple so that it vectorises
            peak = std::max(peak, static_cast<int32_t>(samples[i]));
        if (PrevSample < 0)
            PrevSample = samples[0];
        if (RatesValid) {
            Scan(samples, sampleCount);
        } else {
            PrevSample = samples[sampleCount - 1];
        }
        if (TraceOn)
            SampleCounter = static_cast<int32_t>(CounterBase + static_cast<uint32_t>(sampleCount));
        result = OutPos;
    }
    if (peakLevel != nullptr)
        *peakLevel = peak;
    if (TraceFile != nullptr)
        std::fflush(TraceFile);
    OutBuffer = nullptr;
    return result;
}

void DemodContext::Initialise(const uint8_t* samples, int32_t sampleCount, int32_t sampleRate,
                              int32_t baudRate)
{
    Initialised = true;
    // A new stream never continues an earlier stream's trace file.
    CloseTrace();
    if (TraceOn) {
        TraceFile = OpenTraceFile(TraceFileName);
        if (TraceFile != nullptr)
            std::fputs("init reached\n", TraceFile);
        SampleCounter = 0;
        CounterBase = 0;
    }
    PrevSample = sampleCount > 0 ? samples[0] : -1;
    State = Hunting;
    BitPhase = 0;
    GoodPairs = 0;
    OffIntervals = 0;
    PairsNeeded = 4;

    RatesValid = sampleRate > 0 && baudRate > 0;
    if (!RatesValid)
        return;
    Period = 1.0 / baudRate;
    PreSyncLow = Period * 3.8;
    PreSyncHigh = Period * 4.2;
    if (TraceOn) {
        BeginText("*Period=");
        AddFixed6(Period);
        EndText();
        BeginText("*PreSyncLow=");
        AddFixed6(PreSyncLow);
        EndText();
        BeginText("*PreSyncHigh=");
        AddFixed6(PreSyncHigh);
        EndText();
    }
    SamplePeriod = 1.0 / sampleRate;
    // So that the first interval is measured from the stream's first sample.
    SinceCrossing = -SamplePeriod;
}

void DemodContext::Scan(const uint8_t* samples, int32_t sampleCount)
{
    // Two passes over chunks of samples. The first finds the crossings and
    // measures their intervals without a branch that depends on the signal
    // (receiver noise crosses the midline at random, every other sample, and
    // a mispredicted branch there would cost more than all the arithmetic).
    // The second runs the state machine over the crossings found. The
    // arithmetic is that of one sample at a time: the time since the last
    // crossing grows by one sample period per sample and restarts from the
    // tail at a crossing.
    constexpr int32_t Chunk = 256;
    std::array<double, Chunk> intervals;
    std::array<int32_t, Chunk> positions;  // sample index * 2 + level before the crossing
    const double samplePeriod = SamplePeriod;
    double sinceCrossing = SinceCrossing;
    int32_t prev = PrevSample;
    int32_t prevDistance = MidlineDistanceIndex(prev);
    for (int32_t start = 0; start < sampleCount; start += Chunk) {
        const int32_t end = std::min(sampleCount, start + Chunk);
        int32_t found = 0;
        for (int32_t i = start; i < end; ++i) {
            const int32_t s = samples[i];
            const int32_t distance = MidlineDistanceIndex(s);
            sinceCrossing += samplePeriod;
            // Bit 7 is the side of the midline: a crossing when it differs.
            const int32_t crossing = ((s ^ prev) >> 7) & 1;
            const double tail = Fractions.After[static_cast<size_t>(prevDistance)]
                                               [static_cast<size_t>(distance)] *
                                samplePeriod;
            intervals[static_cast<size_t>(found)] = sinceCrossing - tail;
            positions[static_cast<size_t>(found)] = i * 2 + (prev >> 7);
            found += crossing;
            sinceCrossing = Select(crossing, tail, sinceCrossing);
            prev = s;
            prevDistance = distance;
        }
        for (int32_t k = 0; k < found; ++k) {
            const auto at = static_cast<size_t>(k);
            Level = positions[at] & 1;  // the level of the run that just ended
            if (TraceOn)
                SampleCounter = static_cast<int32_t>(
                    CounterBase + static_cast<uint32_t>(positions[at] >> 1) + 1U);
            HandleInterval(intervals[at]);
        }
    }
    SinceCrossing = sinceCrossing;
    PrevSample = prev;
}

void DemodContext::HandleInterval(double interval)
{
    if (State == Hunting)
        HuntInterval(interval);
    else
        RunBitClock(interval);
}

void DemodContext::HuntInterval(double interval)
{
    if (GoodPairs < PairsNeeded) {
        // Training sequence 0101... gives runs of two bit periods after NRZI;
        // a pair of runs spans one cycle of about four.
        if (!PairOpen) {
            FirstInterval = interval;
            PairOpen = true;
            return;
        }
        PairOpen = false;
        const double sum = FirstInterval + interval;
        if (PreSyncLow < sum && sum < PreSyncHigh) {
            ++GoodPairs;
        } else {
            GoodPairs = 0;
            OffIntervals = 0;
        }
        return;
    }

    if (GoodPairs == PairsNeeded) {
        GoodPairs = PairsNeeded + 1;
        OffIntervals = 0;
        if (TraceOn) {
            BeginText("*PreSync at ");
            AddDecimal(SampleCounter);
            EndText();
        }
    }
    if (interval > 4.5 * Period) {
        // The start flag's six 1s: start the clock half a bit before the
        // run's first boundary, and read the run as 1s whatever its level.
        BitPhase = -0.5 * Period;
        InvertLevels = Level != 1;
        GoodPairs = 0;
        OffIntervals = 0;
        PairOpen = false;
        BitCount = 0;
        State = MatchingFlag;
        if (TraceOn) {
            BeginText("*PreSync:Wide found at ");
            AddDecimal(SampleCounter);
            EndText();
        }
        RunBitClock(interval);
        return;
    }
    if (interval <= 0.5 * PreSyncLow || interval >= 0.5 * PreSyncHigh) {
        if (++OffIntervals > OffIntervalLimit) {
            GoodPairs = 0;
            OffIntervals = 0;
            PairOpen = false;
            if (TraceOn) {
                BeginText("*PreSync:Wide not found by ");
                AddDecimal(SampleCounter);
                EndText();
            }
        }
    }
}

void DemodContext::RunBitClock(double interval)
{
    // The clock is never re-centred: it accumulates measured intervals, so a
    // run of about L bit periods yields L bits and one run's timing error is
    // carried into the next instead of being lost.
    BitPhase += interval;
    if (InvertLevels)
        Level = 1 - Level;
    if (State == InFrame)
        Level = 0;  // NRZI: the transition that began this run is a 0
    while (BitPhase >= Period) {
        BitPhase -= Period;
        if (State == MatchingFlag) {
            MatchFlagBit();
        } else if (State == InFrame) {
            FrameBit();
        } else {
            // Back in Hunting: the rest of the run only counts the clock
            // down. Done in one step; the long run resets the phase before
            // it is read again.
            BitPhase = std::fmod(BitPhase, Period);
            break;
        }
    }
}

void DemodContext::MatchFlagBit()
{
    FlagShift = static_cast<uint16_t>((FlagShift << 1) + (Level == 1 ? 1 : 0));
    if (++BitCount < FlagBits)
        return;
    // Normally the six 1s of the long run (its first bit period holds the
    // flag's leading 0) and the first bit of the next run, the flag's
    // closing 0.
    FlagMismatches = std::popcount(static_cast<uint16_t>((FlagShift ^ FlagPattern) & FlagMask));
    const bool accepted = FlagMismatches < 2;
    if (TraceOn) {
        BeginText(accepted ? "*Sync" : "*Bad");
        AddDecimal(InvertLevels ? 1 : 0);
        AddText(accepted ? " " : " HDLC 7E/01=");
        AddHex(FlagShift);
        AddText(" at ");
        AddDecimal(SampleCounter);
        AddText(" nm=");
        AddDecimal(FlagMismatches);
        EndText();
    }
    FlagShift = 0;
    if (accepted) {
        State = InFrame;
        Level = 1;  // the rest of this run carries no transition
        BitCount = 0;
    } else {
        State = Hunting;  // with GoodPairs 0: a new training sequence is needed
    }
}

void DemodContext::FrameBit()
{
    const bool traceBits = TraceOn && TraceFile != nullptr;
    if (++BitCount == 1) {
        BitInByte = 0;
        SixOnesSeen = false;
        OnesRun = 0;
        ByteValue = 0;
        FrameLength = 0;
        if (traceBits)
            std::fprintf(TraceFile, "Sample %i: ", SampleCounter);
    }
    if (traceBits)
        std::fputc(Level == 1 ? '1' : '0', TraceFile);

    if (Level == 1) {
        if (++OnesRun > 5) {
            OnesRun = 0;
            SixOnesSeen = true;
        }
        ByteValue = static_cast<uint16_t>(ByteValue + (1U << BitInByte));
        ++BitInByte;
    } else {
        if (OnesRun != 5)  // a 0 after exactly five 1s is stuffing
            ++BitInByte;
        OnesRun = 0;
    }
    if (BitInByte < 8) {
        Level = 1;
        return;
    }

    if (traceBits)
        std::fprintf(TraceFile, " Byte=%x\n", static_cast<unsigned>(ByteValue));
    BitInByte = 0;
    if (SixOnesSeen && ByteValue == FlagPattern) {
        // Closing flag; after any flag-like run of six 1s, the next whole
        // byte equal to 0x7E ends the frame.
        EmitFrame();
        State = Hunting;
        return;
    }
    FrameBuffer[static_cast<size_t>(FrameLength)] = static_cast<uint8_t>(ByteValue & 0xFF);
    ByteValue = 0;
    ++FrameLength;
    if (FrameLength > MaxFrameLength) {
        if (TraceOn) {  // the text replaces the abandoned frame
            BeginText("*Max Length=at ");
            AddDecimal(SampleCounter);
            EndText();
        }
        State = Hunting;
    } else {
        Level = 1;
    }
}

void DemodContext::EmitFrame()
{
    EmitBlock(FrameLength, false);
    FrameLength = 0;
}

void DemodContext::EmitBlock(int32_t length, bool isText)
{
    if (OutBuffer == nullptr)
        return;
    const int32_t needed = 2 + length;
    if (isText) {
        // Text only ever takes room that is free now; it is dropped otherwise.
        if (OutPos + needed > OutputCapacity || TextCount == static_cast<int32_t>(TextStarts.size()))
            return;
        TextStarts[static_cast<size_t>(TextCount++)] = OutPos;
    } else {
        // A frame is never lost to trace text: text of this call gives way.
        while (OutPos + needed > OutputCapacity && TextCount > 0)
            DropLastText();
        if (OutPos + needed > OutputCapacity)
            return;
    }
    OutBuffer[OutPos] = static_cast<uint8_t>(length & 0xFF);
    OutBuffer[OutPos + 1] = static_cast<uint8_t>((length >> 8) & 0xFF);
    std::memcpy(OutBuffer + OutPos + 2, FrameBuffer.data(), static_cast<size_t>(length));
    OutPos += needed;
}

void DemodContext::DropLastText()
{
    const int32_t start = TextStarts[static_cast<size_t>(--TextCount)];
    const int32_t size = 2 + (OutBuffer[start] | (OutBuffer[start + 1] << 8));
    std::memmove(OutBuffer + start, OutBuffer + start + size,
                 static_cast<size_t>(OutPos - start - size));
    OutPos -= size;
}

void DemodContext::BeginText(const char* text)
{
    FrameLength = 0;
    AddText(text);
}

void DemodContext::AddText(const char* text)
{
    const size_t length = std::strlen(text);
    std::memcpy(FrameBuffer.data() + FrameLength, text, length);
    FrameLength += static_cast<int32_t>(length);
}

// The numbers are formatted without the C locale: a host program may have set
// one that writes a decimal comma.
void DemodContext::AddDecimal(int64_t value)
{
    char* begin = reinterpret_cast<char*>(FrameBuffer.data()) + FrameLength;
    const auto result = std::to_chars(begin, begin + 24, value);
    FrameLength += static_cast<int32_t>(result.ptr - begin);
}

void DemodContext::AddHex(uint32_t value)
{
    char* begin = reinterpret_cast<char*>(FrameBuffer.data()) + FrameLength;
    const auto result = std::to_chars(begin, begin + 24, value, 16);
    FrameLength += static_cast<int32_t>(result.ptr - begin);
}

void DemodContext::AddFixed6(double value)
{
    char* begin = reinterpret_cast<char*>(FrameBuffer.data()) + FrameLength;
    const auto result = std::to_chars(begin, begin + 48, value, std::chars_format::fixed, 6);
    FrameLength += static_cast<int32_t>(result.ptr - begin);
}

void DemodContext::EndText()
{
    AddText("\n");
    EmitBlock(FrameLength, true);
    FrameLength = 0;
}

void DemodContext::CloseTrace()
{
    if (TraceFile != nullptr) {
        std::fclose(TraceFile);
        TraceFile = nullptr;
    }
}

}  // namespace brinecore::reference
