// What the station's replay loop reports, and the replay's speed check.
#pragma once

#include "core/AudioFormat.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kelvane {

struct FeedResult {
    int64_t BytesRead = 0;
    std::string ReadProblem;  // "" unless a read failed
};

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
    // After each block; returns false to stop.
    std::function<bool()> BetweenBlocks;
};

// The speed check: whether a replay that took elapsedSeconds (whole seconds)
// was slower than the audio it held, the audio's length taken from the data
// chunk's size.
bool SlowerThanRealTime(int64_t elapsedSeconds, int32_t wavDataBytes, const AudioFormat& format);

}  // namespace kelvane
