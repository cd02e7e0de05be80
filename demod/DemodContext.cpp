// Zero-crossing demodulator for AIS (ITU-R M.1371): finds the training
// sequence and the start flag in the intervals between midline crossings,
// runs a bit clock from those intervals, NRZI-decodes, removes HDLC bit
// stuffing (ISO/IEC 13239) and assembles frame bytes least significant bit
// first.
#include "DemodContext.h"

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

namespace brinecore {

namespace {

// A sample of 128 or more is above the midline of 127.5: its top bit tells
// its side, which the scan reads from many samples at once.
constexpr int32_t HighThreshold = 128;
static_assert(HighThreshold == 1 << 7);

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

// For a crossing between samples at midline distances a and b, the part of
// the sample interval that lies after the crossing: 1 - f, where f = a / (a +
// b) is |prev - 127.5| divided by |prev - s|. A table of the very same
// operations keeps a division off the path of every crossing.
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

// Bit 7 of each of 64 samples, the first sample's in bit 0: which side of
// the midline each lies on.
uint64_t SideBits(const uint8_t* samples)
{
    uint64_t sides = 0;
    for (int32_t group = 0; group < 8; ++group) {
        uint64_t bytes = 0;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(&bytes, samples + group * 8, 8);
        } else {
            for (int32_t k = 0; k < 8; ++k)
                bytes |= static_cast<uint64_t>(samples[group * 8 + k]) << (8 * k);
        }
        // The top bits of the eight bytes, gathered into the product's top byte.
        const uint64_t tops = (bytes >> 7) & 0x0101010101010101U;
        sides |= ((tops * 0x0102040810204080U) >> 56) << (8 * group);
    }
    return sides;
}

#if defined(__SSE2__)
uint64_t SideBitsSse2(const uint8_t* samples)
{
    uint64_t sides = 0;
    for (int32_t group = 0; group < 4; ++group) {
        const __m128i bytes =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + group * 16));
        sides |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(bytes)))
                 << (16 * group);
    }
    return sides;
}
#endif

// Bit i set: bits 0 to i of the word hold an odd number of ones.
uint64_t PrefixParity(uint64_t bits)
{
    bits ^= bits << 1;
    bits ^= bits << 2;
    bits ^= bits << 4;
    bits ^= bits << 8;
    bits ^= bits << 16;
    bits ^= bits << 32;
    return bits;
}

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
        uint8_t highest = 0;
        for (int32_t i = 0; i < sampleCount; ++i)  // kept simple, in bytes, so that it vectorises
            highest = std::max(highest, samples[i]);
        peak = highest;
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
    std::fill(BitSteps.begin(), BitSteps.begin() + 6, Period);
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
    BitRate = baudRate;
    std::fill(Steps.begin(), Steps.begin() + 16, SamplePeriod);
    // So that the first interval is measured from the stream's first sample.
    SinceCrossing = -SamplePeriod;

    // A pair's sum lies within two samples of the distance between the
    // crossings that begin and end it (a crossing's tail is less than a
    // sample, the time carried into a block is placed to within one more),
    // give or take the rounding of the accumulated time, which grows with
    // the distance.
    const double low = PreSyncLow / SamplePeriod;
    const double high = PreSyncHigh / SamplePeriod;
    const double slack = 2.0 + 1e-5 * high;
    PairSpanMin = static_cast<int64_t>(std::ceil(std::clamp(low - slack, -1e18, 1e18)));
    PairSpanMax = static_cast<int64_t>(std::floor(std::clamp(high + slack, -1e18, 1e18)));
    // No span between two crossings of one word reaches 64.
    const auto zeros = static_cast<int32_t>(std::clamp<int64_t>(PairSpanMin - 1, 1, 63));
    SpanShiftCount = 0;
    for (int32_t have = 1; have < zeros;) {
        const int32_t step = std::min(have, zeros - have);
        SpanShifts[static_cast<size_t>(SpanShiftCount++)] = static_cast<uint8_t>(step);
        have += step;
    }
}

void DemodContext::Scan(const uint8_t* samples, int32_t sampleCount)
{
    // The time since the last crossing grows by one sample period per sample
    // and restarts from the crossing's tail, one addition at a time, so that
    // every interval is the same double whatever the blocks: Base holds it
    // as it stood at BasePos, and Advance brings it up to a later sample.
    Samples = samples;
    BlockLength = sampleCount;
    BlockPrev = PrevSample;
    Base = SinceCrossing;
    BasePos = -1;
    WordsFrom = -WordCrossingsKept;
    int32_t through = -1;
    for (;;) {
        if (through < 0 && SkipsCrossings()) {
            through = SkipCrossings();
            if (through == BlockLength)
                break;
        } else {
            if (FollowCrossings(through))
                break;
            through = -1;
        }
    }
    SinceCrossing = Advance(Base, sampleCount - 1 - BasePos);
    PrevSample = samples[sampleCount - 1];
    Samples = nullptr;
}

bool DemodContext::SkipsCrossings() const
{
    return State == Hunting && GoodPairs == 0 && !PairOpen;
}

// Receiver noise crosses the midline at about every other sample, and until
// a pair of runs matches the training sequence, each crossing only opens or
// closes a pair that fails. Those crossings are counted, not measured; a
// crossing's level and a closed pair's first interval are not read again.
// Only a pair whose crossings lie far enough apart to match is measured: it
// is handed to FollowCrossings from its first crossing. Returns the position
// of that pair's last crossing, or BlockLength when the block ends first.
int32_t DemodContext::SkipCrossings()
{
    const double entryBase = Base;
    const int32_t entryPos = BasePos;
    // Where a crossing would lie, to within a sample, for its time since to
    // be entryBase at entryPos.
    const double behind = std::min(entryBase / SamplePeriod, 1e17);
    int64_t pairStart = static_cast<int64_t>(std::floor(entryPos - behind));
    int64_t last = pairStart;  // the latest crossing
    bool open = false;
    bool closed = false;  // pairStart is a crossing of this block, not the entry
    const int32_t firstWord = (entryPos + 1) >> 6;
    const int32_t words = (BlockLength >> 6) + ((BlockLength & 63) != 0 ? 1 : 0);
    for (int32_t word = firstWord; word < words; ++word) {
        uint64_t crossings = Crossings(word);
        if (word == firstWord)
            crossings &= ~uint64_t{0} << ((entryPos + 1) & 63);
        if (crossings == 0)
            continue;
        const int64_t at = int64_t{word} * 64;
        // Every other crossing ends a pair, which spans from the crossing
        // that ended the pair before. Worked out in integers, without a
        // branch each: noise makes them unpredictable.
        const uint64_t odd = PrefixParity(crossings);  // bit i: crossings 0..i are odd
        const uint64_t closes = crossings & ~(odd ^ (0 - static_cast<uint64_t>(open)));
        const int lastClose = 63 - std::countl_zero(closes | 1);
        const uint64_t between =
            ~closes & ((uint64_t{1} << lastClose) - 1) & ~(closes ^ (closes - 1));
        const int32_t quiet =
            static_cast<int32_t>(closes == 0) |
            (static_cast<int32_t>(at + std::countr_zero(closes) - pairStart < PairSpanMin) &
             static_cast<int32_t>(!HasLongRun(between)));
        if (quiet != 0) {
            // No pair ending here spans enough to match: count them.
            const int64_t keep = -static_cast<int64_t>(closes == 0);  // all ones: none
            pairStart = (pairStart & keep) | ((at + lastClose) & ~keep);
            closed = closed | (closes != 0);
            open = (odd >> 63) != static_cast<uint64_t>(open);
            last = at + 63 - std::countl_zero(crossings);
            continue;
        }
        while (crossings != 0) {
            const int64_t crossing = at + std::countr_zero(crossings);
            crossings &= crossings - 1;
            if (!open) {
                open = true;
                last = crossing;
                continue;
            }
            const int64_t span = crossing - pairStart;
            if (span >= PairSpanMin && span <= PairSpanMax) {
                if (closed) {
                    Base = Tail(static_cast<int32_t>(pairStart));
                    BasePos = static_cast<int32_t>(pairStart);
                    OffIntervals = 0;
                }
                return static_cast<int32_t>(crossing);
            }
            open = false;
            closed = true;
            last = pairStart = crossing;
        }
    }
    if (open) {
        const double startBase = closed ? Tail(static_cast<int32_t>(pairStart)) : entryBase;
        const int64_t startPos = closed ? pairStart : entryPos;
        FirstInterval = Advance(startBase, static_cast<int32_t>(last - startPos)) -
                        Tail(static_cast<int32_t>(last));
        PairOpen = true;
    }
    if (closed)
        OffIntervals = 0;
    if (open || closed) {
        Base = Tail(static_cast<int32_t>(last));
        BasePos = static_cast<int32_t>(last);
    }
    return BlockLength;
}

// Measures every crossing after BasePos and runs the state machine on it,
// until the block ends (true) or, from the crossing at through on, noise may
// be skipped again (false).
bool DemodContext::FollowCrossings(int32_t through)
{
    std::array<double, 64> intervals;
    std::array<int32_t, 64> runBits;  // the bits a run of each is likely to give
    std::array<double, 64> tails;
    std::array<int32_t, 64> positions;
    const int32_t firstWord = (BasePos + 1) >> 6;
    const int32_t words = (BlockLength >> 6) + ((BlockLength & 63) != 0 ? 1 : 0);
    for (int32_t word = firstWord; word < words; ++word) {
        uint64_t crossings = Crossings(word);
        if (word == firstWord)
            crossings &= ~uint64_t{0} << ((BasePos + 1) & 63);
        // The word's crossings are all measured first, so that their chains
        // of additions need not wait for one another or for the state
        // machine's branches on them.
        size_t found = 0;
        double base = Base;
        int32_t basePos = BasePos;
        while (crossings != 0) {
            const int32_t crossing = word * 64 + std::countr_zero(crossings);
            crossings &= crossings - 1;
            const double tail = Tail(crossing);
            const int32_t samples = crossing - basePos;
            intervals[found] = Advance(base, samples) - tail;
            // Inside a frame the clock stands near the middle of a bit. The
            // interval is near enough without its chain of additions, which
            // the estimate then need not wait for.
            const double roughly = base + samples * SamplePeriod - tail;
            runBits[found] = static_cast<int32_t>(
                std::min(std::max(roughly * BitRate + 0.5, 0.0), 8.0));
            tails[found] = tail;
            positions[found] = crossing;
            base = tail;
            basePos = crossing;
            ++found;
        }
        for (size_t k = 0; k < found; ++k) {
            const int32_t crossing = positions[k];
            if (TraceOn)
                SampleCounter =
                    static_cast<int32_t>(CounterBase + static_cast<uint32_t>(crossing) + 1U);
            if (State != InFrame || !FrameRun(intervals[k], runBits[k])) {
                // The level of the run that just ended: the other side.
                Level = (Samples[crossing] >> 7) ^ 1;
                HandleInterval(intervals[k]);
            }
            if (State == Hunting && crossing >= through && SkipsCrossings()) {
                Base = tails[k];
                BasePos = crossing;
                return false;
            }
        }
        if (found > 0) {
            Base = tails[found - 1];
            BasePos = positions[found - 1];
        }
    }
    return true;
}

// Bit i set: sample 64 * word + i of the block lies on the other side of the
// midline from the sample before it. Bits past the block are clear. The
// words are found sixteen at a time and kept for the block.
inline uint64_t DemodContext::Crossings(int32_t word)
{
    const int32_t slot = word - WordsFrom;
    if (slot >= 0 && slot < static_cast<int32_t>(WordCrossings.size()))
        return WordCrossings[static_cast<size_t>(slot)];
    const int32_t words = (BlockLength >> 6) + ((BlockLength & 63) != 0 ? 1 : 0);
    FindCrossings(word, std::min(static_cast<int32_t>(WordCrossings.size()), words - word),
                  WordCrossings.data());
    WordsFrom = word;
    return WordCrossings[0];
}

// Crossings of count words from word on, into crossings.
void DemodContext::FindCrossings(int32_t word, int32_t count, uint64_t* crossings) const
{
    const int32_t start = word * 64;
    auto before = static_cast<uint64_t>((start == 0 ? BlockPrev : Samples[start - 1]) >> 7);
    const int32_t whole = std::min(count, (BlockLength - start) >> 6);
    const uint8_t* samples = Samples + start;
#if defined(__SSE2__)
    if (VectorScan) {
        for (int32_t i = 0; i < whole; ++i, samples += 64) {
            const uint64_t sides = SideBitsSse2(samples);
            crossings[i] = sides ^ (sides << 1 | before);
            before = sides >> 63;
        }
    } else
#endif
    {
        for (int32_t i = 0; i < whole; ++i, samples += 64) {
            const uint64_t sides = SideBits(samples);
            crossings[i] = sides ^ (sides << 1 | before);
            before = sides >> 63;
        }
    }
    if (whole < count)
        crossings[whole] = LastCrossings(word + whole);
}

// The same for a last word of fewer than 64 samples.
uint64_t DemodContext::LastCrossings(int32_t word) const
{
    const int32_t start = word * 64;
    const int32_t count = BlockLength - start;
    uint64_t sides = 0;
    for (int32_t i = 0; i < count; ++i)
        sides |= static_cast<uint64_t>(Samples[start + i] >> 7) << i;
    const auto before = static_cast<uint64_t>((start == 0 ? BlockPrev : Samples[start - 1]) >> 7);
    return (sides ^ (sides << 1 | before)) & ((uint64_t{1} << count) - 1);
}

// The part of the last sample period that lies after the crossing at that
// sample of the block.
inline double DemodContext::Tail(int32_t crossing) const
{
    const int32_t before = crossing == 0 ? BlockPrev : Samples[crossing - 1];
    return Fractions.After[static_cast<size_t>(MidlineDistanceIndex(before))]
                          [static_cast<size_t>(MidlineDistanceIndex(Samples[crossing]))] *
           SamplePeriod;
}

inline double DemodContext::Advance(double sinceCrossing, int32_t samples) const
{
    const double step = SamplePeriod;
    int32_t left = samples;
    for (; left > 16; left -= 4) {
        sinceCrossing += step;
        sinceCrossing += step;
        sinceCrossing += step;
        sinceCrossing += step;
    }
    // The last 16 or fewer without a branch: adding 0 leaves the time as it
    // is (it is never -0, which would turn into +0).
    const double* const steps = &Steps[static_cast<size_t>(16 - std::max(left, 0))];
    for (size_t k = 0; k < 16; ++k)
        sinceCrossing += steps[k];
    return sinceCrossing;
}

// gaps: the zero bits between the crossings that end two pairs. True when
// PairSpanMin - 1 of them lie in a row: a pair long enough to match.
bool DemodContext::HasLongRun(uint64_t gaps) const
{
    if (PairSpanMin <= 1)
        return true;
    for (int32_t k = 0; k < SpanShiftCount; ++k)
        gaps &= gaps >> SpanShifts[static_cast<size_t>(k)];
    return gaps != 0;
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
    // The phase is kept in a register over the calls for each bit.
    double phase = BitPhase + interval;
    const double period = Period;
    if (InvertLevels)
        Level = 1 - Level;
    if (State == InFrame)
        Level = 0;  // NRZI: the transition that began this run is a 0
    while (phase >= period) {
        phase -= period;
        if (State == MatchingFlag) {
            MatchFlagBit();
        } else if (State == InFrame) {
            FrameBit();
        } else {
            // Back in Hunting: the rest of the run only counts the clock
            // down. Done in one step; the long run resets the phase before
            // it is read again.
            phase = std::fmod(phase, period);
            break;
        }
    }
    BitPhase = phase;
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

// Inside a frame, a run of up to six bits, a 0 (its transition) and then
// 1s, taken at once instead of bit by bit, with the same effect as
// RunBitClock. bits is the number of bits the run is expected to give: the
// clock is checked to give exactly as many, so that nothing waits for the
// clock to decide when the run ends. Returns false, having changed nothing,
// when the run is to be taken bit by bit: one of more bits than expected or
// than six, the frame's first, or one being traced.
inline bool DemodContext::FrameRun(double interval, int32_t bits)
{
    if (BitCount == 0 || bits > 6 || (TraceOn && TraceFile != nullptr))
        return false;
    const double period = Period;
    // The phase after the bits, as the loop has it. The clock's phase is
    // carried from run to run, so each subtraction lengthens the chain the
    // whole frame waits on: three periods, or fewer, are taken off from a
    // table of periods and zeros, so that no branch decides for the common
    // short runs, and any more only for longer runs.
    const double start = BitPhase + interval;
    const double* const takes = &BitSteps[static_cast<size_t>(6 - std::clamp(bits, 0, 3))];
    double phase = start;
    for (size_t bit = 0; bit < 3; ++bit)
        phase -= takes[bit];
    for (int32_t bit = 3; bit < bits; ++bit)
        phase -= period;
    // The clock gives exactly that many bits: the phase is below a period,
    // and it was not before the last bit (which the sign shows, as a
    // difference of unequal numbers is never 0).
    if (phase >= period || (bits > 0 && phase < 0.0))
        return false;
    BitPhase = phase;
    if (bits == 0) {
        Level = 0;
        return true;
    }
    const int32_t ones = bits - 1;  // fewer than six: no flag-like run begins here
    const int32_t zero = OnesRun != 5 ? 1 : 0;  // else the 0 is stuffing
    const int32_t oldBitInByte = BitInByte;
    const uint32_t value = ByteValue + ((((1U << ones) - 1U) << zero) << oldBitInByte);
    const int32_t filled = oldBitInByte + zero + ones;
    // In integers, not bools, which the compiler would turn into branches.
    const int32_t complete = filled >> 3;  // 1 when the byte is complete
    const auto byte = static_cast<uint16_t>(value & 0xFF);
    const int32_t flag = complete & static_cast<int32_t>(SixOnesSeen) &
                         static_cast<int32_t>(byte == FlagPattern);
    // Stored whether or not the byte is complete: only counted bytes are read.
    FrameBuffer[static_cast<size_t>(FrameLength)] = static_cast<uint8_t>(byte);
    FrameLength += complete & (flag ^ 1);
    ByteValue = static_cast<uint16_t>(value >> (complete << 3));
    BitInByte = filled - (complete << 3);
    OnesRun = ones;
    BitCount += bits;
    Level = 1;
    if ((flag | static_cast<int32_t>(FrameLength > MaxFrameLength)) == 0)
        return true;

    const int32_t last = 8 - oldBitInByte - zero;
    BitCount += last + 1 - bits;
    phase = start;
    for (int32_t bit = 0; bit <= last; ++bit)
        phase -= period;
    EndFrameInRun(phase, last, byte, flag != 0);
    return true;
}

// The frame ends with bit last of a run taken by FrameRun, the bit that
// completed the byte: a flag or one byte too many. The clock counts the
// rest of the run down as it does while hunting. phase is the clock's phase
// after that bit.
void DemodContext::EndFrameInRun(double phase, int32_t last, uint16_t byte, bool flag)
{
    OnesRun = last;
    Level = last == 0 ? 0 : 1;
    BitInByte = 0;
    if (flag) {
        ByteValue = byte;
        EmitFrame();
    } else {
        ByteValue = 0;
        if (TraceOn) {  // the text replaces the abandoned frame
            BeginText("*Max Length=at ");
            AddDecimal(SampleCounter);
            EndText();
        }
    }
    State = Hunting;
    if (phase >= Period)
        phase = std::fmod(phase - Period, Period);
    BitPhase = phase;
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

}  // namespace brinecore
