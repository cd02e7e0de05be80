// The burst demodulator: a soft-decision AIS receiver for weak and bent
// signals. It filters the discriminator audio with two Gaussian low-passes
// (BT 0.5 and BT 0.35), searches both for the training sequence and start
// flag, and hands each burst found to the BurstDecoder. It takes the same
// blocks as the other receivers and keeps the look-back and look-ahead a
// frame needs, so that bursts straddling blocks are received whole.
#pragma once

#include "receiver/BurstDecoder.h"
#include "receiver/BurstSearch.h"
#include "receiver/ChannelDemodulator.h"
#include "receiver/FrameSink.h"

#include <array>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace kelvane {

class BurstDemodulator : public ChannelDemodulator {
public:
    explicit BurstDemodulator(FrameSink& sink, RadioChannel channel = RadioChannel::Unknown)
        : Sink(sink), Channel(channel)
    {
    }

    // A new stream at this sample rate; clears its own state (not the
    // counters).
    void Start(int32_t sampleRate) override;
    // Takes the 16-bit samples where the block has them: the finer steps
    // help the weakest bursts.
    void ProcessBlock(const ChannelBlock& block) override;
    // The end of the stream: decodes the bursts still waiting for samples.
    void Finish() override;

    // Whether the repair search runs (on by default).
    bool Repair = true;
    // Frame checks made at lengths valid for their message type: each is a
    // 1 in 65536 chance of a false message.
    int64_t FcsEvaluations = 0;

private:
    // One of the two low-passes: its taps, its output from sample
    // FilteredBase on (the filter's delay taken out) and the search on it.
    struct Path {
        std::vector<float> Taps;
        int Half = 0;
        double NoisePower = 0;      // the taps' squares
        double NoiseNeighbour = 0;  // and neighbours' products, summed
        std::vector<float> Filtered;
        BurstSearch Search;
        SignalView View(int64_t first) const;
    };
    struct Found {
        BurstCandidate Candidate;
        size_t Path = 0;  // whose search found it
    };

    template <typename Sample>
    void TakeInput(std::span<const Sample> samples);
    void FilterNewSamples();
    void DecodeReady(bool flushing);
    void Decode(std::span<const Found> group);
    void Trim();
    int64_t FilteredEnd() const;

    FrameSink& Sink;
    RadioChannel Channel;

    bool Running = false;
    double T = 0;  // samples per bit
    // The DC level taken off the input: the mean of the stream with a time
    // constant of 2 s, far longer than a burst, so that it stays put
    // while a transmitter's frequency error shifts the level of its burst
    // (the per-burst channel fit measures that). It changes once every
    // DcChunk samples.
    static constexpr int DcChunk = 64;
    double DcWeight = 0;
    float Dc = 127.5f;
    double DcSum = 0;
    int DcFill = 0;

    // The DC-free input from InputBase on, as far as the filters still need
    // it, and the two filtered signals.
    int64_t InputBase = 0;
    std::vector<float> Input;
    int Half = 0;  // the longer filter's half length
    int64_t FilteredBase = 0;
    std::array<Path, 2> Paths;  // BT 0.5, BT 0.35
    std::vector<BurstCandidate> NewlyFound;

    std::deque<Found> Pending;  // in time order
    double BusyUntil = -1;
    struct DecodedBurst {
        double Start;
        double End;
        std::vector<uint8_t> Frame;
    };
    std::deque<DecodedBurst> Recent;
};

}  // namespace kelvane
