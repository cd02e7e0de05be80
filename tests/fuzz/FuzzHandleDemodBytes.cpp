// The library's output handling fed arbitrary bytes as if the library had
// written them, tracing on and off.
#include "support/ChainRig.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    using namespace kelvane;
    test::ChainRig rig;
    const ReceiveCounters& counters = rig.Counters();
    rig.Start(48000, false, data[0] & 1);
    rig.station.HandleDemodBytes(std::span(data + 1, size - 1));
    if (counters.SyncCount != counters.ValidCount + counters.ErrorCount)
        std::abort();
    for (const std::string& block : rig.events.Blocks)
        if (block.size() < 2 || block.compare(block.size() - 2, 2, "\r\n") != 0)
            std::abort();
    return 0;
}
