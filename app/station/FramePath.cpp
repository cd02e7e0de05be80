#include "station/FramePath.h"

#include "core/ReceiveCounters.h"
#include "nmea/SentenceEncoder.h"
#include "receiver/FrameCheck.h"
#include "station/StationEvents.h"

#include <algorithm>
#include <utility>

namespace kelvane {

void FrameToBits(std::span<const uint8_t> frame, SentenceEncoder& encoder, const MessageOrigin& origin)
{
    encoder.BuildSentences(PayloadBits(frame), origin);
}

void FramePath::Initialised(RadioChannel)
{
    // Both channels of a stereo stream initialise at its first block; the
    // second must not clear what the first counted in it.
    if (std::exchange(Cleared, true))
        return;
    Counters.Clear();
}

void FramePath::PreSync(RadioChannel) { Counters.AddPreSync(); }

void FramePath::Sync(RadioChannel) { Counters.AddSync(); }

void FramePath::Frame(const ReceivedFrame& frame)
{
    if (ComputeFcs(frame.Bytes) != FcsGood) {
        Counters.AddError();
        return;
    }
    Counters.AddValid(frame.Channel);
    FrameToBits(frame.Bytes, Encoder, {frame.Channel, frame.LevelDb, frame.SnrDb});
}

void FramePath::FrameError(RadioChannel) { Counters.AddError(); }

void FramePath::InputLevel(RadioChannel, int32_t peak) { BlockPeak = std::max(BlockPeak, peak); }

void FramePath::ShowLevel()
{
    if (LevelMinimum <= BlockPeak)
        Events.LevelChanged(BlockPeak);
    BlockPeak = -1;
}

}  // namespace kelvane
