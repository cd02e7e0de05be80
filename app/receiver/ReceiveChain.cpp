#include "receiver/ReceiveChain.h"

#include "receiver/BuiltinDemodulator.h"
#include "receiver/BurstDemodulator.h"

namespace kelvane {

ReceiveChain::ReceiveChain(FrameSink& sink, BrinecoreLibrary& library) : Frames(sink), Library(library) {}

ReceiveChain::~ReceiveChain() = default;

std::unique_ptr<ChannelDemodulator> ReceiveChain::MakeDemodulator(RadioChannel channel, size_t side)
{
    switch (Active) {
    case Demodulator::Library: {
        auto trace = [this](std::string_view text) {
            if (TraceText)
                TraceText(text);
        };
        if (StreamFormat.Channels == 1)
            return std::make_unique<BrinecoreDemodulator>(Frames, channel, Library, TraceFlag, trace);
        // The library holds one stream per process: each side gets a core
        // of its own, and its own trace file.
        Cores.push_back(std::make_unique<BrinecoreInstance>(side == 0 ? "debug.txt" : "debug-right.txt"));
        return std::make_unique<BrinecoreDemodulator>(Frames, channel, *Cores.back(), TraceFlag, trace);
    }
    case Demodulator::Builtin:
        return std::make_unique<BuiltinDemodulator>(Frames, channel);
    case Demodulator::Burst: {
        auto burst = std::make_unique<BurstDemodulator>(Frames, channel);
        burst->Repair = BurstRepair;
        return burst;
    }
    }
    return nullptr;
}

std::string ReceiveChain::Start(const AudioFormat& format, Demodulator demodulator, int32_t traceFlag)
{
    StreamFormat = format;
    TraceFlag = traceFlag;
    Active = demodulator;
    std::string problem;
    if (Active == Demodulator::Library && format.Channels == 1 && !Library.Load()) {
        problem = Library.Problem() + " The built-in demodulator serves instead.";
        Active = Demodulator::Builtin;
    }
    Demodulators.clear();
    Cores.clear();
    if (format.Channels == 1) {
        Demodulators.push_back(MakeDemodulator(RadioChannel::Unknown, 0));
    } else {
        const RadioChannel left = SwapChannels ? RadioChannel::B : RadioChannel::A;
        const RadioChannel right = SwapChannels ? RadioChannel::A : RadioChannel::B;
        Demodulators.push_back(MakeDemodulator(left, 0));
        Demodulators.push_back(MakeDemodulator(right, 1));
    }
    for (const auto& d : Demodulators)
        d->Start(format.SampleRate);
    return problem;
}

void ReceiveChain::Finish()
{
    for (const auto& d : Demodulators)
        d->Finish();
}

void ReceiveChain::ProcessBlock(std::span<const uint8_t> block)
{
    if (Demodulators.empty())
        return;
    const auto frameBytes = static_cast<size_t>(StreamFormat.FrameBytes());
    if (frameBytes == 1) {
        // 8-bit mono: straight from the buffer, as the library has always
        // been called.
        Demodulators[0]->ProcessBlock({block, {}});
        return;
    }
    const size_t frames = block.size() / frameBytes;
    const auto channels = static_cast<size_t>(StreamFormat.Channels);
    const bool wide = StreamFormat.BitsPerSample == 16;
    if (channels == 2 && !wide) {
        // 8-bit stereo, the common case: both sides in one pass, which the
        // compiler turns into vector shuffles.
        SideBytes[0].resize(frames);
        SideBytes[1].resize(frames);
        SideWide[0].clear();
        SideWide[1].clear();
        uint8_t* left = SideBytes[0].data();
        uint8_t* right = SideBytes[1].data();
        const uint8_t* p = block.data();
        for (size_t i = 0; i < frames; ++i) {
            left[i] = p[2 * i];
            right[i] = p[2 * i + 1];
        }
    }
    for (size_t c = 0; c < channels && (channels != 2 || wide); ++c) {
        std::vector<uint8_t>& bytes = SideBytes[c];
        std::vector<int16_t>& samples = SideWide[c];
        bytes.resize(frames);
        samples.resize(wide ? frames : 0);
        if (!wide) {
            for (size_t i = 0; i < frames; ++i)
                bytes[i] = block[i * frameBytes + c];
            continue;
        }
        for (size_t i = 0; i < frames; ++i) {
            const size_t at = i * frameBytes + 2 * c;
            const auto s = static_cast<int16_t>(static_cast<uint16_t>(block[at] | block[at + 1] << 8));
            samples[i] = s;
            // The top byte plus 128: what an 8-bit recording of the same
            // audio holds.
            bytes[i] = static_cast<uint8_t>((s >> 8) + 128);
        }
    }
    for (size_t c = 0; c < channels; ++c)
        Demodulators[c]->ProcessBlock({SideBytes[c], SideWide[c]});
}

void ReceiveChain::HandleDemodBytes(std::span<const uint8_t> output)
{
    kelvane::HandleDemodBytes(output, TraceFlag == 1, Frames, RadioChannel::Unknown, 0, TraceText);
}

int64_t ReceiveChain::FrameChecks() const
{
    int64_t checks = 0;
    for (const auto& d : Demodulators)
        if (const auto* burst = dynamic_cast<const BurstDemodulator*>(d.get()))
            checks += burst->FcsEvaluations;
    return checks;
}

}  // namespace kelvane
