#include "receiver/BrinecoreDemodulator.h"

#include "Brinecore.h"

#include <algorithm>
#include <cmath>

namespace kelvane {

void HandleDemodBytes(std::span<const uint8_t> output, bool tracing, FrameSink& sink,
                      RadioChannel channel, int64_t endSample, const TraceTextFn& traceText,
                      double levelDb)
{
    size_t p = 0;
    while (p < output.size()) {
        const size_t length = output[p] + (p + 1 < output.size() ? output[p + 1] * 256U : 0U);
        const size_t start = std::min(p + 2, output.size());
        const std::span<const uint8_t> content =
            output.subspan(start, std::min(length, output.size() - start));
        if (tracing && !content.empty() && content[0] == '*') {
            if (traceText)
                traceText(std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
        } else {
            sink.Sync(channel);
            sink.Frame({content, channel, endSample, levelDb});
        }
        p += 2 + length;
    }
}

void BrinecoreDemodulator::Start(int32_t sampleRate)
{
    SampleRate = sampleRate;
    StreamSample = 0;
    DllWorkBuffer.assign(BRINECORE_OUTPUT_CAPACITY, 0);
    Engine.ReInit(0);
}

void BrinecoreDemodulator::ProcessBlock(const ChannelBlock& block)
{
    int32_t peak = 0;
    const int32_t written = Engine.AudioToBytes(block.Bytes.data(), static_cast<int32_t>(block.Bytes.size()),
                                                DllWorkBuffer.data(), SampleRate, 9600, &peak, TraceFlag);
    StreamSample += static_cast<int64_t>(block.Bytes.size());
    // Whatever the library says, never read past the buffer it was given.
    if (written > 0) {
        // The library does not say where in the block a frame lay: its
        // level is the block's.
        uint8_t low = 255, high = 0;  // a loop the compiler makes vector code of
        for (const uint8_t s : block.Bytes) {
            low = std::min(low, s);
            high = std::max(high, s);
        }
        const double level = block.Bytes.empty() ? std::nan("") : PeakLevelDb(low, high);
        HandleDemodBytes(std::span(DllWorkBuffer).first(std::min(static_cast<size_t>(written), DllWorkBuffer.size())),
                         TraceFlag == 1, Sink, Channel, StreamSample, TraceText, level);
    }
    Sink.InputLevel(Channel, peak);
}

}  // namespace kelvane
