// The Brinecore demodulator: zero-crossing GMSK demodulation of AIS
// discriminator audio (ITU-R M.1371) into HDLC frame bytes (ISO/IEC 13239).
//
// The library's exports drive one static instance; tests may create several.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

namespace brinecore {

inline constexpr int32_t OutputCapacity = 8192;
inline constexpr int32_t MaxFrameLength = 126;

class DemodContext {
public:
    // traceFileName names the trace file in its folder; a program running
    // several instances gives each its own.
    explicit DemodContext(const char* traceFileName = "debug.txt") : TraceFileName(traceFileName) {}
    ~DemodContext();
    DemodContext(const DemodContext&) = delete;
    DemodContext& operator=(const DemodContext&) = delete;

    // See Brinecore.h for the contract of these three.
    int32_t AudioToBytes(const uint8_t* samples, int32_t sampleCount, uint8_t* outBuffer,
                         int32_t sampleRate, int32_t baudRate, int32_t* peakLevel,
                         int32_t traceFlag);
    int32_t ReInit(int32_t unused);
    static int32_t GetErrorMessage(char* buffer);

    // Where the processor has them, vector instructions find the crossings;
    // false uses the plain code that other processors run, as the tests do.
    void UseVectorScan(bool use) { VectorScan = use; }

private:
    enum RxState : int32_t { Hunting = 0, MatchingFlag = 1, InFrame = 2 };

    void Initialise(const uint8_t* samples, int32_t sampleCount, int32_t sampleRate,
                    int32_t baudRate);
    void Scan(const uint8_t* samples, int32_t sampleCount);
    bool SkipsCrossings() const;
    int32_t SkipCrossings();
    bool FollowCrossings(int32_t through);
    uint64_t Crossings(int32_t word);
    void FindCrossings(int32_t word, int32_t count, uint64_t* crossings) const;
    uint64_t LastCrossings(int32_t word) const;
    double Tail(int32_t crossing) const;
    double Advance(double sinceCrossing, int32_t samples) const;
    bool HasLongRun(uint64_t gaps) const;
    void HandleInterval(double interval);
    void HuntInterval(double interval);
    void RunBitClock(double interval);
    void MatchFlagBit();
    bool FrameRun(double interval, int32_t bits);
    void EndFrameInRun(double phase, int32_t last, uint16_t byte, bool flag);
    void FrameBit();

    void EmitFrame();
    void EmitBlock(int32_t length, bool isText);
    void DropLastText();

    // Trace text, formatted into FrameBuffer like a frame and emitted as a
    // block. Each helper appends one piece; EndText emits the line.
    void BeginText(const char* text);
    void AddText(const char* text);
    void AddDecimal(int64_t value);
    void AddHex(uint32_t value);
    void AddFixed6(double value);
    void EndText();

    void CloseTrace();

    const char* TraceFileName;
    bool VectorScan = true;

    // Persistent demodulator state, zero at load.
    bool Initialised = false;
    bool TraceOn = false;
    std::FILE* TraceFile = nullptr;
    int32_t SampleCounter = 0;
    int32_t PrevSample = 0;  // -1 until the stream's first sample is known
    double SamplePeriod = 0;
    double BitRate = 0;
    double SinceCrossing = 0;
    double Period = 0;
    double PreSyncLow = 0;
    double PreSyncHigh = 0;
    int32_t State = Hunting;
    int32_t PairsNeeded = 0;
    int32_t GoodPairs = 0;
    bool PairOpen = false;
    double FirstInterval = 0;
    int32_t OffIntervals = 0;
    double BitPhase = 0;
    int32_t Level = 0;
    bool InvertLevels = false;
    uint16_t FlagShift = 0;
    int32_t FlagMismatches = 0;
    int32_t BitCount = 0;
    uint16_t ByteValue = 0;
    int32_t BitInByte = 0;
    int32_t OnesRun = 0;
    bool SixOnesSeen = false;
    std::array<uint8_t, 1000> FrameBuffer{};
    int32_t FrameLength = 0;
    int32_t ReInitArgument = 0;
    // False when the initialising call gave a sample or bit rate of 0 or
    // less: the stream then yields nothing instead of dividing by zero.
    bool RatesValid = false;
    // Only a pair of runs whose crossings lie from PairSpanMin to
    // PairSpanMax samples apart may match the training sequence.
    int64_t PairSpanMin = 0;
    int64_t PairSpanMax = 0;
    // The shifts that find PairSpanMin - 1 zero bits in a row.
    std::array<uint8_t, 6> SpanShifts{};
    int32_t SpanShiftCount = 0;
    // 16 sample periods, then 16 zeros: Advance adds a stretch of them.
    std::array<double, 32> Steps{};
    // Six bit periods, then six zeros: FrameRun takes a stretch of them.
    std::array<double, 12> BitSteps{};

    // Per call.
    const uint8_t* Samples = nullptr;
    int32_t BlockLength = 0;
    int32_t BlockPrev = 0;  // the sample before the block's first
    // The time since the last crossing as it stood after sample BasePos of
    // the block (-1: before the block's first sample).
    double Base = 0;
    int32_t BasePos = -1;
    // The crossings of words WordsFrom on, found together.
    static constexpr int32_t WordCrossingsKept = 16;
    std::array<uint64_t, WordCrossingsKept> WordCrossings{};
    int32_t WordsFrom = 0;
    uint8_t* OutBuffer = nullptr;
    int32_t OutPos = 0;
    uint32_t CounterBase = 0;  // SampleCounter before this call's first sample
    // Where this call's text blocks start, so that a frame can reclaim their
    // room. A text block takes at least 16 bytes, so this never fills up
    // before the output does.
    std::array<int32_t, OutputCapacity / 16 + 1> TextStarts{};
    int32_t TextCount = 0;
};

}  // namespace brinecore
