// The receiving station: everything between a source of audio and the
// outputs, whatever front end stands on it (the window, kelvane-decode, the
// benchmarks and tests). It binds the Brinecore library (or its stand-in),
// runs one demodulator per channel into the frame path, counts, encodes the
// sentences and feeds the outputs; it runs the replay loop and the capture
// timer's tick. It is configured by values and tells its front end what
// happened through StationEvents, always on the front end's thread: events
// of the network outputs wait in a queue until DeliverEvents.
#pragma once

#include "audio/BlockSource.h"
#include "audio/SoundCapture.h"
#include "core/AudioFormat.h"
#include "core/ReceiveCounters.h"
#include "nmea/SentenceEncoder.h"
#include "nmea/SentenceSink.h"
#include "receiver/BrinecoreLibrary.h"
#include "receiver/ReceiveChain.h"
#include "station/FramePath.h"
#include "station/OutputSettings.h"
#include "station/Replay.h"
#include "station/StationEvents.h"
#include "station/StationOutputs.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace kelvane {

// How the receiver demodulates a stream.
struct ReceiverSettings {
    Demodulator Demod = Demodulator::Library;
    // With two channels, left is B and right is A.
    bool SwapChannels = false;
    // Whether the burst demodulator runs its repair search.
    bool BurstRepair = true;
    // 1 asks the library for its trace.
    int32_t TraceFlag = 0;
};

class Station : private SentenceSink {
public:
    // networkAlive tells whether the computer has a network (UDP to other
    // than loopback); by default, any interface up that is not loopback.
    explicit Station(StationEvents& events, std::function<bool()> networkAlive = {});
    ~Station() override;
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // --- The outputs around a run.
    // Opens every output the settings switch on; each that fails is
    // reported (OutputFailed) and stays off for the run.
    void OpenOutputs(const OutputSettings& settings);
    void CloseOutputs();

    // --- A stream of audio.
    // Starts a stream of this format: a demodulator per channel, the
    // library re-initialised (or, when it cannot be loaded, one message and
    // the built-in demodulator for this stream).
    void Start(const AudioFormat& format, const ReceiverSettings& receiver);
    // One block of the stream, then the input level.
    void ProcessBlock(std::span<const uint8_t> block);
    // The end of the stream: what still waits for samples is decided.
    void Finish();

    // Every block of the source in order until its end, a read error or a
    // stop (betweenBlocks returns false), waiting events delivered after each
    // block; then the stream ends.
    FeedResult Feed(BlockSource& source, const std::function<bool()>& betweenBlocks = {});
    // Opens the WAV file ("-": standard input), starts the stream at its
    // format and feeds it. Without acceptWideAndStereo a file that is not
    // 8-bit mono is refused before any audio is read.
    ReplayOutcome Replay(const std::string& fileName, bool acceptWideAndStereo,
                         const ReceiverSettings& receiver, const ReplayHooks& hooks = {});
    // One tick of the capture timer: an overrun when the whole ring waits,
    // then every filled buffer in ring order, betweenBuffers after each.
    void CaptureTick(SoundCapture& capture, const std::function<void()>& betweenBuffers);

    // --- Events of the network outputs, from their thread.
    // Runs the waiting events on the caller's thread.
    void DeliverEvents();
    // Called, on any thread, when an event starts to wait: a front end with
    // an event loop has it call DeliverEvents there; one whose handlers may
    // run on any thread may deliver at once.
    std::function<void()> EventsWaiting;

    // --- What the station knows.
    const ReceiveCounters& Counters() const { return Count; }
    // Every count to 0.
    void ClearCounters() { Count.Clear(); }
    OutputStats Stats() const { return Outputs.Stats(); }
    Demodulator ActiveDemodulator() const { return Chain.ActiveDemodulator(); }
    const AudioFormat& Format() const { return Chain.Format(); }
    // The burst demodulator's frame checks this stream.
    int64_t FrameChecks() const { return Chain.FrameChecks(); }
    // The library's output taken apart as after each AudioToBytes call.
    void HandleDemodBytes(std::span<const uint8_t> output) { Chain.HandleDemodBytes(output); }
    // The encoder, whose sequence identifier lives as long as the station.
    SentenceEncoder& Encoder() { return Sentences; }
    // The clock of the tag blocks: Unix seconds.
    std::function<int64_t()>& TagClock() { return Outputs.Clock; }
    // Receives the library's trace text, when set.
    TraceTextFn TraceText;

private:
    // SentenceSink: each encoded message to the outputs, then the front end.
    void Deliver(std::string_view block) override;
    void DeliverMessage(std::string_view block, std::span<const int32_t> messageBits,
                        const MessageOrigin& origin) override;
    void Post(std::function<void()> event);

    StationEvents& Events;
    // Before the outputs: their thread may still post while they close.
    std::mutex WaitingLock;
    std::vector<std::function<void()>> Waiting;
    std::mutex DeliveringLock;
    ReceiveCounters Count;
    SentenceEncoder Sentences;
    FramePath Frames;
    BrinecoreLibrary Library;
    ReceiveChain Chain;
    StationOutputs Outputs;
};

}  // namespace kelvane
