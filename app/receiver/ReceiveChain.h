// Samples in, frames out: every block of audio, whatever its source (sound
// card, WAV file, standard input), is taken apart into its channels, and each
// channel has a demodulator of its own; all of them report to one frame sink.
#pragma once

#include "core/AudioFormat.h"
#include "receiver/BrinecoreDemodulator.h"
#include "receiver/BrinecoreLibrary.h"
#include "receiver/ChannelDemodulator.h"
#include "receiver/FrameSink.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace kelvane {

// Which receiver demodulates: the Brinecore library, the built-in
// zero-crossing demodulator, or the burst demodulator for weak signals.
enum class Demodulator { Library, Builtin, Burst };

class ReceiveChain {
public:
    ReceiveChain(FrameSink& sink, BrinecoreLibrary& library);
    ~ReceiveChain();
    ReceiveChain(const ReceiveChain&) = delete;
    ReceiveChain& operator=(const ReceiveChain&) = delete;

    // Starts a new stream of audio in this format. A mono stream has one
    // demodulator and its sentences no channel letter; a stereo one has one
    // demodulator per side, left A and right B (or the other way round with
    // SwapChannels). The library serves a mono stream itself: it is loaded
    // on first use and re-initialised; if it cannot be loaded, the built-in
    // demodulator serves this stream and Start returns the message that
    // says so (else ""). A stereo
    // stream runs an instance of the library's core for each side. The
    // built-in demodulator initialises at the first block. traceFlag 1 asks
    // the library for its trace.
    std::string Start(const AudioFormat& format, Demodulator demodulator, int32_t traceFlag = 0);

    // One block of the stream, its frames interleaved as the format says
    // (8192 frames from capture or replay, fewer at a file's end; a partial
    // frame at the end is ignored).
    void ProcessBlock(std::span<const uint8_t> block);
    // The end of a stream: the burst demodulator decodes what still waits
    // for samples to come.
    void Finish();

    // The library's output, taken apart as ProcessBlock does after each
    // AudioToBytes call, for this stream's trace setting.
    void HandleDemodBytes(std::span<const uint8_t> output);

    bool UsingLibrary() const { return Active == Demodulator::Library; }
    Demodulator ActiveDemodulator() const { return Active; }
    const AudioFormat& Format() const { return StreamFormat; }

    // Set before Start: with two channels, left is B and right is A.
    bool SwapChannels = false;
    // Set before Start: whether the burst demodulator runs its repair search.
    bool BurstRepair = true;
    // The burst demodulator's frame checks this stream, all channels: each
    // is a 1 in 65536 chance of a false message.
    int64_t FrameChecks() const;

    // Receives the library's trace text, when set.
    TraceTextFn TraceText;

    static constexpr int32_t BaudRate = 9600;

private:
    std::unique_ptr<ChannelDemodulator> MakeDemodulator(RadioChannel channel, size_t side);

    FrameSink& Frames;
    BrinecoreLibrary& Library;

    Demodulator Active = Demodulator::Builtin;
    AudioFormat StreamFormat;
    int32_t TraceFlag = 0;
    // One per channel of the stream, left first.
    std::vector<std::unique_ptr<ChannelDemodulator>> Demodulators;
    std::vector<std::unique_ptr<BrinecoreInstance>> Cores;
    // A block taken apart into its channels.
    std::array<std::vector<uint8_t>, 2> SideBytes;
    std::array<std::vector<int16_t>, 2> SideWide;
};

}  // namespace kelvane
