#include "SoundCapture.h"

#include "Capture.h"
#include "ReceiveChain.h"

namespace kelvane {

void CaptureTick(SoundCapture& capture, ReceiveChain& chain,
                 const std::function<void()>& processEvents)
{
    const int32_t filled = capture.FilledBuffers();
    if (filled >= Capture::RingSize)
        chain.Counters().AddOverrun();
    if (filled > 0)
        capture.DispatchFilledBuffers(chain, processEvents);
}

}  // namespace kelvane
