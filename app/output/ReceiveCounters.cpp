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
    View.SetCaption(CounterLabel::lblVPct, Percent(ValidCount, SyncCount));
    View.SetCaption(CounterLabel::lblEPct, Percent(ErrorCount, SyncCount));
}

void ReceiveCounters::AddPreSync()
{
    View.SetCaption(CounterLabel::lblPreSyncs, std::to_string(++PreSyncCount));
}

void ReceiveCounters::AddSync()
{
    View.SetCaption(CounterLabel::lblSyncs, std::to_string(++SyncCount));
}

void ReceiveCounters::AddValid(RadioChannel channel)
{
    View.SetCaption(CounterLabel::lblValid, std::to_string(++ValidCount));
    ShowPercentages();
    if (channel != RadioChannel::Unknown) {
        ++(channel == RadioChannel::A ? ValidCountA : ValidCountB);
        View.SetCaption(CounterLabel::lblValidAB,
                        std::to_string(ValidCountA) + " / " + std::to_string(ValidCountB));
    }
    if (View.IsHidden())
        View.SetTrayTip(Percent(ValidCount, SyncCount) + " valid.");
}

void ReceiveCounters::AddError()
{
    View.SetCaption(CounterLabel::lblErrors, std::to_string(++ErrorCount));
    ShowPercentages();
}

void ReceiveCounters::AddOverrun()
{
    View.SetCaption(CounterLabel::lblOverruns, std::to_string(++OverrunCount));
}

void ReceiveCounters::AddMessage(int32_t messageId)
{
    switch (messageId) {
    case 1:
    case 2:
    case 3:
        View.SetCaption(CounterLabel::lbl123, std::to_string(++MsgCount123));
        break;
    case 5:
        View.SetCaption(CounterLabel::lbl5, std::to_string(++MsgCount5));
        break;
    case 18:
    case 19:
        View.SetCaption(CounterLabel::lbl1819, std::to_string(++MsgCount1819));
        break;
    case 24:
        View.SetCaption(CounterLabel::lbl21, std::to_string(++MsgCount24));
        break;
    default:
        View.SetCaption(CounterLabel::lblOther, std::to_string(++MsgCountOther));
        break;
    }
}

}  // namespace kelvane
