// The built-in demodulator fed arbitrary samples in arbitrary buffer sizes.
#include "BuiltinDemodulator.h"
#include "FramePath.h"
#include "SentenceEncoder.h"

#include "Recorders.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    using namespace kelvane;
    static const int32_t Rates[] = {48000, 44100, 50000, 22050, 9600, 2400, 1, 0};
    test::RecordingView view;
    test::RecordingSink sink;
    ReceiveCounters counters(view);
    SentenceEncoder encoder(counters, sink);
    FramePath frames(counters, view, encoder);
    BuiltinDemodulator demod(frames);
    demod.SampleRate = Rates[data[0] % 8];
    demod.Reset();
    const size_t blockSize = 1 + data[1];
    data += 2;
    size -= 2;
    for (size_t pos = 0; pos < size; pos += blockSize)
        demod.DemodulateSamples(std::span(data + pos, std::min(blockSize, size - pos)));
    if (counters.ValidCount + counters.ErrorCount > counters.SyncCount)
        std::abort();
    return 0;
}
