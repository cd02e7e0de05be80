#include "core/ReceiveCounters.h"

namespace kelvane {

void ReceiveCounters::Clear()
{
    SyncCount = ErrorCount = PreSyncCount = ValidCount = OverrunCount = 0;
    MsgCount123 = MsgCount5 = MsgCount1819 = MsgCount24 = MsgCountOther = 0;
    ValidCountA = ValidCountB = 0;
}

void ReceiveCounters::AddPreSync()
{
    ++PreSyncCount;
    Tell(Counter::PreSyncs);
}

void ReceiveCounters::AddSync()
{
    ++SyncCount;
    Tell(Counter::Syncs);
}

void ReceiveCounters::AddValid(RadioChannel channel)
{
    ++ValidCount;
    Tell(Counter::Valid);
    if (channel != RadioChannel::Unknown) {
        ++(channel == RadioChannel::A ? ValidCountA : ValidCountB);
        Tell(Counter::ValidPerChannel);
    }
}

void ReceiveCounters::AddError()
{
    ++ErrorCount;
    Tell(Counter::Errors);
}

void ReceiveCounters::AddOverrun()
{
    ++OverrunCount;
    Tell(Counter::Overruns);
}

void ReceiveCounters::AddMessage(int32_t messageId)
{
    switch (messageId) {
    case 1:
    case 2:
    case 3:
        ++MsgCount123;
        Tell(Counter::Types123);
        break;
    case 5:
        ++MsgCount5;
        Tell(Counter::Type5);
        break;
    case 18:
    case 19:
        ++MsgCount1819;
        Tell(Counter::Types1819);
        break;
    case 24:
        ++MsgCount24;
        Tell(Counter::Type24);
        break;
    default:
        ++MsgCountOther;
        Tell(Counter::OtherTypes);
        break;
    }
}

}  // namespace kelvane
