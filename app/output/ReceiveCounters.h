// The receive counters, shared by every demodulator, the sentence
// encoder and the window, and the captions that show them.
#pragma once

#include "RadioChannel.h"
#include "ReceiverView.h"

#include <cstdint>
#include <string>

namespace kelvane {

class ReceiveCounters {
public:
    explicit ReceiveCounters(ReceiverView& view) : View(view) {}

    // Sets every count to 0; the captions are left as they are.
    void Clear();

    void AddPreSync();
    void AddSync();
    // A frame that passed the check: its count and both percentages, and the
    // tray tooltip while the window is hidden. A frame of a known channel is
    // counted under its channel too.
    void AddValid(RadioChannel channel = RadioChannel::Unknown);
    void AddError();
    void AddOverrun();
    // One message of the given type under its type's counter.
    void AddMessage(int32_t messageId);

    // "0%": the ratio times 100 rounded to a whole number, halves up.
    static std::string Percent(int32_t part, int32_t whole);

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

private:
    void ShowPercentages();

    ReceiverView& View;
};

}  // namespace kelvane
