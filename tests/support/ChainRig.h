// A receive chain wired to recording doubles, as tests and fuzz targets use it.
#pragma once

#include "Recorders.h"

#include "BrinecoreLibrary.h"
#include "ReceiveChain.h"
#include "ReceiveCounters.h"
#include "SentenceEncoder.h"

#include <algorithm>
#include <span>

namespace kelvane::test {

struct ChainRig {
    // Runs the samples through in blocks, then ends the stream.
    size_t Decode(std::span<const uint8_t> samples, size_t blockSize = 8192)
    {
        for (size_t pos = 0; pos < samples.size(); pos += blockSize)
            chain.ProcessBlock(samples.subspan(pos, std::min(blockSize, samples.size() - pos)));
        chain.Finish();
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
