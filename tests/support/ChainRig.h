// A station with a recording front end, as tests and fuzz targets use it,
// fed through the program's own replay loop.
#pragma once

#include "support/Recorders.h"

#include "audio/BlockSource.h"
#include "nmea/SentenceEncoder.h"
#include "nmea/SentenceSink.h"
#include "receiver/FrameCheck.h"
#include "station/FramePath.h"
#include "station/Station.h"
#include "support/SignalGenerator.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace kelvane::test {

// Samples in memory, read in blocks of a chosen number of frames.
class MemorySource : public BlockSource {
public:
    MemorySource(std::span<const uint8_t> bytes, const AudioFormat& format, size_t blockFrames)
        : Bytes(bytes), StreamFormat(format),
          Block(blockFrames * static_cast<size_t>(format.FrameBytes()))
    {
    }
    AudioFormat Format() const override { return StreamFormat; }
    int32_t BlockBytes() const override { return static_cast<int32_t>(Block); }
    int32_t Read(uint8_t* buffer) override
    {
        const size_t n = std::min(Block, Bytes.size() - Position);
        std::memcpy(buffer, Bytes.data() + Position, n);
        Position += n;
        return static_cast<int32_t>(n);
    }
    std::string ReadError() const override { return {}; }

private:
    std::span<const uint8_t> Bytes;
    AudioFormat StreamFormat;
    size_t Block;
    size_t Position = 0;
};

// The sentences of the messages, as the program encodes them (mono).
inline std::vector<std::string> Sentences(const std::vector<std::vector<uint8_t>>& messages)
{
    struct Blocks : SentenceSink {
        void Deliver(std::string_view block) override { All.emplace_back(block); }
        std::vector<std::string> All;
    } sink;
    ReceiveCounters counters;
    SentenceEncoder encoder(counters, sink);
    for (const std::vector<uint8_t>& m : messages)
        FrameToBits(WithFcs(m), encoder);
    return sink.All;
}

struct ChainRig {
    // A stream of this format (8-bit mono at a rate), with the
    // receiver settings below.
    void Start(const AudioFormat& format, Demodulator demodulator, int32_t traceFlag = 0)
    {
        Settings.Demod = demodulator;
        Settings.TraceFlag = traceFlag;
        station.Start(format, Settings);
    }
    void Start(int32_t rate, Demodulator demodulator, int32_t traceFlag = 0)
    {
        Start({rate, 1, 8}, demodulator, traceFlag);
    }
    void Start(int32_t rate, bool useLibrary, int32_t traceFlag = 0)
    {
        Start(rate, useLibrary ? Demodulator::Library : Demodulator::Builtin, traceFlag);
    }
    // Runs the samples (of the stream's format) through in blocks of
    // blockFrames, then ends the stream.
    size_t Decode(std::span<const uint8_t> samples, size_t blockFrames = 8192)
    {
        MemorySource source(samples, station.Format(), blockFrames);
        station.Feed(source);
        return events.Blocks.size();
    }
    const ReceiveCounters& Counters() const { return station.Counters(); }

    ReceiverSettings Settings;
    RecordingEvents events;
    Station station{events};
};

}  // namespace kelvane::test
