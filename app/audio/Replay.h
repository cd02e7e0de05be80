// The one loop that feeds recorded audio to the receive chain, for the
// window's replay, kelvane-decode, the benchmarks and the tests: blocks read
// in order, handed on, events let run between them, a stop honoured, the
// stream ended; and the figures of the replay's speed check.
#pragma once

#include "AudioFormat.h"
#include "BlockSource.h"
#include "ReceiveChain.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kelvane {

struct FeedResult {
    int64_t BytesRead = 0;
    std::string ReadProblem;  // "" unless a read failed
};

// Hands every block of the source to the chain, in order, until the end of
// the source, a read error (nothing of that read is used), or a stop:
// betweenBlocks runs after each block (the window lets its events run there)
// and returns false to stop. Then the stream ends: bursts still waiting for
// samples are decoded.
FeedResult FeedBlocks(BlockSource& source, ReceiveChain& chain,
                      const std::function<bool()>& betweenBlocks = {});

struct ReplayOutcome {
    // "" when the file was read to its end or the replay was stopped, else
    // the text of what went wrong (the window shows it after the file name).
    std::string Problem;
    bool HeaderRead = false;
    AudioFormat Format;        // the file's, once its header was read
    int32_t WavDataBytes = 0;  // the data chunk's size; the bytes read when it was unknown
    int64_t BytesRead = 0;
};

struct ReplayHooks {
    // Once the header has been read, before the first block (kelvane-decode
    // opens its outputs there, so that a file it cannot read empties no log).
    std::function<void()> Opened;
    // After each block, as for FeedBlocks.
    std::function<bool()> BetweenBlocks;
};

// Opens the WAV file ("-": standard input), starts the chain at its format
// and feeds it. Without acceptWideAndStereo, a file that is not 8-bit mono
// is refused before any audio is read.
ReplayOutcome ReplayWavFile(const std::string& fileName, bool acceptWideAndStereo,
                            ReceiveChain& chain, Demodulator demodulator, int32_t traceFlag,
                            const ReplayHooks& hooks = {});

// The speed check: whether a replay that took elapsedSeconds (whole seconds)
// was slower than the audio it held, the audio's length taken from the data
// chunk's size.
bool SlowerThanRealTime(int64_t elapsedSeconds, int32_t wavDataBytes, const AudioFormat& format);

}  // namespace kelvane
