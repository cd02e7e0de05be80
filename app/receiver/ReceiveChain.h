// Samples in, sentences out: runs blocks of audio through the Brinecore
// library or the built-in demodulator, counts the frames and hands good ones
// to the sentence encoder. Used by replay, live capture and kelvane-decode.
#pragma once

#include "BrinecoreLibrary.h"
#include "BuiltinDemodulator.h"
#include "BurstDemodulator.h"
#include "MessageBoxes.h"
#include "ReceiveCounters.h"
#include "ReceiverView.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
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

    // Starts a new stream of audio. With the library: loads it on first use
    // and re-initialises it; if it cannot be loaded, one message says so and
    // the built-in demodulator serves this stream. Without it: the built-in
    // demodulator initialises at the first block. traceFlag 1 asks the
    // library for its trace.
    void Start(int32_t sampleRate, Demodulator demodulator, int32_t traceFlag = 0);
    void Start(int32_t sampleRate, bool useLibrary, int32_t traceFlag = 0)
    {
        Start(sampleRate, useLibrary ? Demodulator::Library : Demodulator::Builtin, traceFlag);
    }

    // One block of samples (8192 from capture or replay, fewer at a file's end).
    void ProcessBlock(std::span<const uint8_t> samples);
    // The end of a stream: the burst demodulator decodes what still waits
    // for samples to come.
    void Finish();

    // Takes the library's output apart: while tracing, blocks that begin with
    // '*' are trace text and skipped; every other block is a frame, counted
    // as a sync, checked, counted valid or an error, and a good one encoded.
    void HandleDemodBytes(std::span<const uint8_t> output);

    bool UsingLibrary() const { return Active == Demodulator::Library; }
    Demodulator ActiveDemodulator() const { return Active; }

    // The burst demodulator's settings and its count of frame checks.
    BurstDemodulator Burst;

    // Receives the library's trace text, when set.
    std::function<void(std::string_view)> TraceText;

    static constexpr int32_t BaudRate = 9600;

private:
    ReceiveCounters& Counters;
    ReceiverView& View;
    SentenceEncoder& Encoder;
    MessageBoxes& Messages;
    BrinecoreLibrary& Library;
    BuiltinDemodulator Builtin;

    Demodulator Active = Demodulator::Builtin;
    int32_t SampleRate = 0;
    int32_t TraceFlag = 0;
    std::vector<uint8_t> DllWorkBuffer;  // held only while the library serves
};

}  // namespace kelvane
