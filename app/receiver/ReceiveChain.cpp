#include "ReceiveChain.h"

#include "FrameCheck.h"
#include "SentenceEncoder.h"

#include <algorithm>

namespace kelvane {

ReceiveChain::ReceiveChain(ReceiveCounters& counters, ReceiverView& view,
                           SentenceEncoder& encoder, MessageBoxes& messages,
                           BrinecoreLibrary& library)
    : Counters(counters), View(view), Encoder(encoder), Messages(messages), Library(library),
      Builtin(counters, view, encoder)
{
}

void ReceiveChain::Start(int32_t sampleRate, bool useLibrary, int32_t traceFlag)
{
    SampleRate = sampleRate;
    TraceFlag = traceFlag;
    UseLibrary = useLibrary;
    if (UseLibrary && !Library.Load()) {
        Messages.Show(Library.Problem() + " The built-in demodulator serves instead.",
                      MessageIcon::Exclamation);
        UseLibrary = false;
    }
    if (UseLibrary) {
        DllWorkBuffer.assign(BRINECORE_OUTPUT_CAPACITY, 0);
        Library.ReInit(0);
    } else {
        DllWorkBuffer = {};
        Builtin.SampleRate = sampleRate;
        Builtin.BaudRate = BaudRate;
        Builtin.Reset();
    }
}

void ReceiveChain::ProcessBlock(std::span<const uint8_t> samples)
{
    if (!UseLibrary) {
        Builtin.DemodulateSamples(samples);
        return;
    }
    int32_t peak = 0;
    const int32_t written =
        Library.AudioToBytes(samples.data(), static_cast<int32_t>(samples.size()),
                             DllWorkBuffer.data(), SampleRate, BaudRate, &peak, TraceFlag);
    // Whatever the library says, never read past the buffer it was given.
    if (written > 0)
        HandleDemodBytes(std::span(DllWorkBuffer).first(
            std::min(static_cast<size_t>(written), DllWorkBuffer.size())));
    if (LevelMinimum <= peak)
        View.SetLevel(peak);
}

void ReceiveChain::HandleDemodBytes(std::span<const uint8_t> output)
{
    size_t p = 0;
    while (p < output.size()) {
        const size_t length = output[p] + (p + 1 < output.size() ? output[p + 1] * 256U : 0U);
        const size_t start = std::min(p + 2, output.size());
        const std::span<const uint8_t> content =
            output.subspan(start, std::min(length, output.size() - start));
        const bool text = TraceFlag == 1 && !content.empty() && content[0] == '*';
        if (text) {
            if (TraceText)
                TraceText(std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
        } else {
            Counters.AddSync();
            if (ComputeFcs(content) == FcsGood) {
                Counters.AddValid();
                FrameToBits(content, Encoder);
            } else {
                Counters.AddError();
            }
        }
        p += 2 + length;
    }
}

}  // namespace kelvane
