// The burst demodulator fed arbitrary samples in arbitrary block sizes.
#include "ChainRig.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    using namespace kelvane;
    static const int32_t Rates[] = {48000, 44100, 50000, 22050, 9600, 96000, 12000, 0};
    test::ChainRig rig;
    ReceiveChain& chain = rig.chain;
    const ReceiveCounters& counters = rig.counters;
    chain.BurstRepair = (data[2] & 1) != 0;
    chain.Start(Rates[data[0] % 8], Demodulator::Burst);
    const size_t blockSize = 1 + static_cast<size_t>(data[1]) * 64;
    data += 3;
    size -= 3;
    rig.Decode(std::span(data, size), blockSize);
    if (counters.ValidCount + counters.ErrorCount != counters.SyncCount ||
        counters.SyncCount > counters.PreSyncCount)
        std::abort();
    return 0;
}
