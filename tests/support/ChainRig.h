// A receive chain wired to recording doubles, as tests and fuzz targets use
// it, fed through the program's own replay loop.
#pragma once

#include "Recorders.h"

#include "BlockSource.h"
#include "BrinecoreLibrary.h"
#include "FrameCheck.h"
#include "ReceiveChain.h"
#include "ReceiveCounters.h"
#include "Replay.h"
#include "SentenceEncoder.h"
#include "SignalGenerator.h"

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
    RecordingView view;
    RecordingSink sink;
    ReceiveCounters counters(view);
    SentenceEncoder encoder(counters, sink);
    for (const std::vector<uint8_t>& m : messages)
        FrameToBits(WithFcs(m), encoder);
    return sink.Blocks;
}

struct ChainRig {
    // Runs the samples (of the stream's format, 8-bit mono unless started
    // otherwise) through in blocks of blockFrames, then ends the stream.
    size_t Decode(std::span<const uint8_t> samples, size_t blockFrames = 8192)
    {
        MemorySource source(samples, chain.Format(), blockFrames);
        FeedBlocks(source, chain);
        return sink.Blocks.size();
    }

    RecordingView view;
    RecordingSink sink;
    RecordingMessages messages;
    ReceiveCounters counters{view};
    SentenceEncoder encoder{counters, sink};
    BrinecoreLibrary library;
    ReceiveChain chain{counters, view, encoder, messages, library};
};

}  // namespace kelvane::test
