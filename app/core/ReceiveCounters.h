// The receive counters, shared by every demodulator, the sentence encoder
// and the capture loop: plain counts. Whoever shows them (a window's
// captions, a summary at the end of a run) is told which one changed.
#pragma once

#include "core/RadioChannel.h"

#include <cstdint>
#include <functional>

namespace kelvane {

// What changed. ValidPerChannel follows Valid for a frame of a known channel.
enum class Counter {
    PreSyncs,
    Syncs,
    Valid,
    Errors,
    Overruns,
    Types123,
    Type5,
    Types1819,
    Type24,
    OtherTypes,
    ValidPerChannel,
};

class ReceiveCounters {
public:
    // Sets every count to 0, silently.
    void Clear();

    void AddPreSync();
    void AddSync();
    // A frame that passed the check; one of a known channel is counted under
    // its channel too.
    void AddValid(RadioChannel channel = RadioChannel::Unknown);
    void AddError();
    void AddOverrun();
    // One message under its type's counter.
    void AddMessage(int32_t messageId);

    int32_t SyncCount = 0;
    int32_t ErrorCount = 0;
    int32_t PreSyncCount = 0;
    int32_t ValidCount = 0;
    int32_t OverrunCount = 0;
    int32_t MsgCount123 = 0;
    int32_t MsgCount5 = 0;
    int32_t MsgCount1819 = 0;
    int32_t MsgCount24 = 0;
    int32_t MsgCountOther = 0;
    // With two receivers: the valid frames of each channel (ValidCount holds
    // both).
    int32_t ValidCountA = 0;
    int32_t ValidCountB = 0;

    // Called after each count that went up.
    std::function<void(Counter)> Changed;

private:
    void Tell(Counter counter)
    {
        if (Changed)
            Changed(counter);
    }
};

}  // namespace kelvane
