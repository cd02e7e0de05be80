// The one loop that feeds recorded audio to the station, for the window's
// replay, kelvane-decode, the benchmarks and the tests: blocks read in
// order, handed on, events let run between them, a stop honoured, the stream
// ended; and the figures of the replay's speed check.
#include "station/Replay.h"

#include "audio/WavReader.h"
#include "station/Station.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace kelvane {

FeedResult Station::Feed(BlockSource& source, const std::function<bool()>& betweenBlocks)
{
    std::vector<uint8_t> block(static_cast<size_t>(source.BlockBytes()));
    FeedResult result;
    for (;;) {
        const int32_t n = source.Read(block.data());
        if (n < 0) {
            result.ReadProblem = source.ReadError();
            break;
        }
        if (n == 0)
            break;
        ProcessBlock(std::span(block).first(static_cast<size_t>(n)));
        result.BytesRead += n;
        DeliverEvents();
        if (betweenBlocks && !betweenBlocks())
            break;
    }
    Finish();
    return result;
}

ReplayOutcome Station::Replay(const std::string& fileName, bool acceptWideAndStereo,
                              const ReceiverSettings& receiver, const ReplayHooks& hooks)
{
    ReplayOutcome outcome;
    WavReader reader;
    reader.AcceptWideAndStereo = acceptWideAndStereo;
    outcome.Problem = reader.Open(fileName);
    if (!outcome.Problem.empty())
        return outcome;
    outcome.HeaderRead = true;
    outcome.Format = reader.Format();
    outcome.WavDataBytes = reader.WavDataBytes();
    if (hooks.Opened)
        hooks.Opened();
    Start(outcome.Format, receiver);
    const FeedResult fed = Feed(reader, hooks.BetweenBlocks);
    outcome.Problem = fed.ReadProblem;
    outcome.BytesRead = fed.BytesRead;
    // A recording that was never finalised has no size in its header: the
    // speed check takes what was read.
    if (outcome.WavDataBytes == 0 || outcome.WavDataBytes == -1)
        outcome.WavDataBytes = static_cast<int32_t>(std::min<int64_t>(fed.BytesRead, INT32_MAX));
    return outcome;
}

bool SlowerThanRealTime(int64_t elapsedSeconds, int32_t wavDataBytes, const AudioFormat& format)
{
    if (format.SampleRate <= 0)
        return false;
    const double audioSeconds =
        static_cast<double>(wavDataBytes) / std::max(format.FrameBytes(), 1) / format.SampleRate;
    return static_cast<double>(elapsedSeconds) > audioSeconds;
}

}  // namespace kelvane
