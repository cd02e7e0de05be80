#include "ReceiveCounters.h"

namespace kelvane {

void ReceiveCounters::Clear()
{
    SyncCount = ErrorCount = PreSyncCount = ValidCount = OverrunCount = 0;
    MsgCount123 = MsgCount5 = MsgCount1819 = MsgCount24 = MsgCountOther = 0;
    ValidCountA = ValidCountB = 0;
}

std::string ReceiveCounters::Percent(int32_t part, int32_t whole)
{
    if (whole <= 0)
        return "0%";
    // Whole-number arithmetic, so that 12.5 % is always 13 %.
    const int64_t rounded = (200 * static_cast<int64_t>(part) + whole) / (2 * static_cast<int64_t>(whole));
    return std::to_string(rounded) + "%";
}

void ReceiveCounters::ShowPercentages()
{
    View.SetCaption(Counter::ValidPercent, Percent(ValidCount, SyncCount));
    View.SetCaption(Counter::ErrorPercent, Percent(ErrorCount, SyncCount));
}

void ReceiveCounters::AddPreSync()
{
    View.SetCaption(Counter::PreSyncs, std::to_string(++PreSyncCount));
}

void ReceiveCounters::AddSync()
{
    View.SetCaption(Counter::Syncs, std::to_string(++SyncCount));
}

void ReceiveCounters::AddValid(RadioChannel channel)
{
    View.SetCaption(Counter::Valid, std::to_string(++ValidCount));
    ShowPercentages();
    if (channel != RadioChannel::Unknown) {
        ++(channel == RadioChannel::A ? ValidCountA : ValidCountB);
        View.SetCaption(Counter::ValidPerChannel,
                        std::to_string(ValidCountA) + " / " + std::to_string(ValidCountB));
    }
    if (View.IsHidden())
        View.SetTrayTip(Percent(ValidCount, SyncCount) + " valid.");
}

void ReceiveCounters::AddError()
{
    View.SetCaption(Counter::Errors, std::to_string(++ErrorCount));
    ShowPercentages();
}

void ReceiveCounters::AddOverrun()
{
    View.SetCaption(Counter::Overruns, std::to_string(++OverrunCount));
}

void ReceiveCounters::AddMessage(int32_t messageId)
{
    switch (messageId) {
    case 1:
    case 2:
    case 3:
        View.SetCaption(Counter::Types123, std::to_string(++MsgCount123));
        break;
    case 5:
        View.SetCaption(Counter::Type5, std::to_string(++MsgCount5));
        break;
    case 18:
    case 19:
        View.SetCaption(Counter::Types1819, std::to_string(++MsgCount1819));
        break;
    case 24:
        View.SetCaption(Counter::Type24, std::to_string(++MsgCount24));
        break;
    default:
        View.SetCaption(Counter::OtherTypes, std::to_string(++MsgCountOther));
        break;
    }
}

}  // namespace kelvane
