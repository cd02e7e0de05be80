// The built-in demodulator fed arbitrary samples in arbitrary buffer sizes.
#include "support/ChainRig.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    using namespace kelvane;
    static const int32_t Rates[] = {48000, 44100, 50000, 22050, 9600, 2400, 1, 0};
    test::ChainRig rig;
    rig.Start(Rates[data[0] % 8], Demodulator::Builtin);
    const size_t blockSize = 1 + data[1];
    rig.Decode(std::span(data + 2, size - 2), blockSize);
    if (rig.Counters().ValidCount + rig.Counters().ErrorCount > rig.Counters().SyncCount)
        std::abort();
    return 0;
}
