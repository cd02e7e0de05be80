// The burst demodulator fed arbitrary samples in arbitrary block sizes, 8- or
// 16-bit, one receiver or two.
#include "support/ChainRig.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    using namespace kelvane;
    static const int32_t Rates[] = {48000, 44100, 50000, 22050, 9600, 96000, 12000, 0};
    test::ChainRig rig;
    const ReceiveCounters& counters = rig.Counters();
    rig.Settings.BurstRepair = (data[2] & 1) != 0;
    const AudioFormat format{Rates[data[0] % 8], (data[2] & 4) != 0 ? 2 : 1, (data[2] & 2) != 0 ? 16 : 8};
    rig.Start(format, Demodulator::Burst);
    const size_t blockSize = 1 + static_cast<size_t>(data[1]) * 64;
    data += 3;
    size -= 3;
    const size_t whole = size - size % static_cast<size_t>(format.FrameBytes());
    rig.Decode(std::span(data, whole), blockSize);
    if (counters.ValidCount + counters.ErrorCount != counters.SyncCount ||
        counters.SyncCount > counters.PreSyncCount)
        std::abort();
    return 0;
}
