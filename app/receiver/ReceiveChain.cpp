#include "ReceiveChain.h"

#include "FrameCheck.h"
#include "SentenceEncoder.h"

#include <algorithm>

namespace kelvane {

ReceiveChain::ReceiveChain(ReceiveCounters& counters, ReceiverView& view,
                           SentenceEncoder& encoder, MessageBoxes& messages,
                           BrinecoreLibrary& library)
    : Burst(counters, view, encoder), Counters(counters), View(view), Encoder(encoder),
      Messages(messages), Library(library), Builtin(counters, view, encoder)
{
}

void ReceiveChain::Start(int32_t sampleRate, Demodulator demodulator, int32_t traceFlag)
{
    SampleRate = sampleRate;
    TraceFlag = traceFlag;
    Active = demodulator;
    if (Active == Demodulator::Library && !Library.Load()) {
        Messages.Show(Library.Problem() + " The built-in demodulator serves instead.",
                      MessageIcon::Exclamation);
        Active = Demodulator::Builtin;
    }
    DllWorkBuffer = {};
    switch (Active) {
    case Demodulator::Library:
        DllWorkBuffer.assign(BRINECORE_OUTPUT_CAPACITY, 0);
        Library.ReInit(0);
        break;
    case Demodulator::Builtin:
        Builtin.SampleRate = sampleRate;
        Builtin.BaudRate = BaudRate;
        Builtin.Reset();
        break;
    case Demodulator::Burst:
        Burst.Start(sampleRate);
        break;
    }
}

void ReceiveChain::Finish()
{
    if (Active == Demodulator::Burst)
        Burst.Flush();
}

void ReceiveChain::ProcessBlock(std::span<const uint8_t> samples)
{
    if (Active == Demodulator::Builtin) {
        Builtin.DemodulateSamples(samples);
        return;
    }
    if (Active == Demodulator::Burst) {
        Burst.ProcessBlock(samples);
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
