// A Brinecore demodulator serving one channel: the shared library or an
// instance of its core. It hands each block to AudioToBytes and takes the
// library's output apart (HandleDemodBytes).
#pragma once

#include "receiver/BrinecoreEngine.h"
#include "receiver/ChannelDemodulator.h"
#include "receiver/FrameSink.h"

#include <functional>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

namespace kelvane {

using TraceTextFn = std::function<void(std::string_view)>;

// Takes the library's output apart: while tracing, blocks that begin with
// '*' are trace text, handed to traceText when set; every other block is a
// frame, counted as a sync and then reported whole, to be checked, with the
// level given.
void HandleDemodBytes(std::span<const uint8_t> output, bool tracing, FrameSink& sink,
                      RadioChannel channel, int64_t endSample, const TraceTextFn& traceText,
                      double levelDb = std::numeric_limits<double>::quiet_NaN());

class BrinecoreDemodulator : public ChannelDemodulator {
public:
    // traceFlag 1 asks the library for its trace.
    BrinecoreDemodulator(FrameSink& sink, RadioChannel channel, BrinecoreEngine& engine,
                         int32_t traceFlag, TraceTextFn traceText)
        : Sink(sink), Channel(channel), Engine(engine), TraceFlag(traceFlag),
          TraceText(std::move(traceText))
    {
    }

    // Re-initialises the library; the rate goes to its first call.
    void Start(int32_t sampleRate) override;
    // The 8-bit samples, straight from the block.
    void ProcessBlock(const ChannelBlock& block) override;
    void Finish() override {}

private:
    FrameSink& Sink;
    RadioChannel Channel;
    BrinecoreEngine& Engine;
    int32_t TraceFlag;
    TraceTextFn TraceText;
    int32_t SampleRate = 0;
    int64_t StreamSample = 0;
    std::vector<uint8_t> DllWorkBuffer;
};

}  // namespace kelvane
