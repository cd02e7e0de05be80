// The burst demodulator: a soft-decision AIS receiver for weak and bent
// signals. It filters the discriminator audio with Gaussian low-passes,
// searches five timing phases for the training sequence and start flag by
// correlation, and hands each burst found to the BurstDecoder. It takes the
// same blocks as the other receivers and keeps the look-back and look-ahead a
// frame needs, so that bursts straddling blocks are received whole.
#pragma once

#include "BurstDecoder.h"
#include "ChannelDemodulator.h"
#include "FrameSink.h"

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
    struct PhasePoint {
        std::array<float, 2> Rho{};  // per training ending, signed
    };
    struct BitBest {
        float Magnitude = 0;
        int Phase = 0;
        int Variant = 0;
        int Sign = 1;
        std::array<PhasePoint, 5> Phases{};
    };

    void FilterNewSamples();
    SignalView NarrowAround(const BurstCandidate& candidate);
    void Search();
    void ConsiderCandidate(int64_t k);
    void DecodeReady(bool flushing);
    void Decode(const BurstCandidate& candidate);
    void Trim();
    float Filtered(const std::vector<float>& signal, double t) const;
    double LastReadable() const;

    FrameSink& Sink;
    RadioChannel Channel;

    bool Running = false;
    double T = 0;           // samples per bit
    float DcAlpha = 0;
    float Dc = 127.5f;
    std::vector<float> WideTaps;    // Gaussian, BT 0.5
    std::vector<float> NarrowTaps;  // Gaussian, BT 0.35
    int Half = 0;                   // the longer filter's half length

    // Histories: the DC-free input (Input[i] is sample InputBase + i) and the
    // BT 0.5 signal (Wide[i] is sample FilteredBase + i, the filter's delay
    // taken out). The BT 0.35 signal is made only around a burst that the
    // wide one did not decode.
    int64_t InputBase = 0;
    int64_t FilteredBase = 0;
    int64_t InputCount = 0;
    std::vector<float> Input;
    std::vector<float> Wide;
    std::vector<float> Narrow;
    int64_t NarrowFirst = 0;

    // The search: bit k of phase p lies at (k + p / 5) bits.
    int64_t NextBit = 0;
    // The phases' recent values by bit, eight lanes (five used) so that all
    // phases are correlated at once; each bit written twice (at i and i + 32)
    // so that the last 20 always lie side by side.
    std::array<std::array<float, 8>, 64> Streams{};
    // Each phase's sum and sum of squares over its last 20 values, kept
    // running (and summed afresh now and then, so that rounding cannot
    // gather).
    std::array<double, 8> WindowSum{};
    std::array<double, 8> WindowSquares{};
    std::array<BitBest, 16> Bests{};

    std::deque<BurstCandidate> Pending;
    double BusyUntil = -1;
    struct DecodedBurst {
        double Start;
        double End;
        std::vector<uint8_t> Frame;
    };
    std::deque<DecodedBurst> Recent;
};

}  // namespace kelvane
