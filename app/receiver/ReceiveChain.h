// Samples in, sentences out: the one road every block of audio takes,
// whatever its source (sound card, WAV file, standard input) and whatever
// the demodulator. Each channel of the stream has a demodulator of its own;
// all of them report to one FramePath, which counts, checks and encodes.
#pragma once

#include "AudioFormat.h"
#include "BrinecoreDemodulator.h"
#include "BrinecoreLibrary.h"
#include "ChannelDemodulator.h"
#include "FramePath.h"
#include "MessageBoxes.h"
#include "ReceiveCounters.h"
#include "ReceiverView.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kelvane {

class SentenceEncoder;

// Which receiver demodulates: the Brinecore library, the built-in
// zero-crossing demodulator, or the burst demodulator for weak signals.
enum class Demodulator { Library, Builtin, Burst };

class ReceiveChain {
public:
    ReceiveChain(ReceiveCounters& counters, ReceiverView& view, SentenceEncoder& encoder,
                 MessageBoxes& messages, BrinecoreLibrary& library);
    ~ReceiveChain();
    ReceiveChain(const ReceiveChain&) = delete;
    ReceiveChain& operator=(const ReceiveChain&) = delete;

    // Starts a new stream of audio in this format. A mono stream has one
    // demodulator and its sentences no channel letter; a stereo one has one
    // demodulator per side, left A and right B (or the other way round with
    // SwapChannels). The library serves a mono stream itself: it is loaded
    // on first use and re-initialised; if it cannot be loaded, one message
    // says so and the built-in demodulator serves this stream. A stereo
    // stream runs an instance of the library's core for each side. The
    // built-in demodulator initialises at the first block. traceFlag 1 asks
    // the library for its trace.
    void Start(const AudioFormat& format, Demodulator demodulator, int32_t traceFlag = 0);
    void Start(int32_t sampleRate, Demodulator demodulator, int32_t traceFlag = 0)
    {
        Start(AudioFormat{sampleRate, 1, 8}, demodulator, traceFlag);
    }
    void Start(int32_t sampleRate, bool useLibrary, int32_t traceFlag = 0)
    {
        Start(sampleRate, useLibrary ? Demodulator::Library : Demodulator::Builtin, traceFlag);
    }

    // One block of the stream, its frames interleaved as the format says
    // (8192 frames from capture or replay, fewer at a file's end; a partial
    // frame at the end is ignored). Then the level bar shows the block's
    // peak.
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
    ReceiveCounters& Counters() { return Frames.Counters; }

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

    FramePath Frames;
    MessageBoxes& Messages;
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
