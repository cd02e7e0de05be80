// Decodes one AIS burst (ITU-R M.1371 GMSK, HDLC framing of ISO/IEC 13239)
// from soft samples of the filtered discriminator signal, given where its
// training sequence and start flag were found: a per-burst channel fit, a
// 4-state Viterbi over the level sequence with inter-symbol interference,
// a table of expected levels measured on the frame itself, timing tries and
// a small repair search.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kelvane {

// A filtered signal held from sample First on; reads between samples are
// interpolated linearly, reads outside it are 0.
struct SignalView {
    const float* Samples = nullptr;
    int64_t First = 0;
    int64_t Count = 0;
    // What the filter made of white input noise: the power of one output
    // sample and the product of two neighbours, per unit of input power.
    double NoisePower = 1;
    double NoiseNeighbour = 0;
    double At(double t) const;
    // The noise power of a read at t, per unit of input power (a read
    // between two samples averages a little of their noise away).
    double NoisePowerAt(double t) const;
};

// The NRZI levels (+1/-1, high first) of the last bits of the training
// sequence and the start flag, for the two ways transmitters end their
// training ("...01" and "...10"). Levels 1..20 are searched for; level 0,
// the training bit before them, only serves the channel fit.
inline constexpr int PatternLevels = 21;
const std::vector<int>& PreambleLevels(int variant);

struct BurstCandidate {
    double T0 = 0;      // centre of the first data bit, in samples
    int Variant = 0;    // which training ending
    int Sign = 1;       // -1 when the discriminator's polarity is inverted
    double Rho = 0;     // the preamble's correlation, 0.8 to 1
};

struct BurstResult {
    bool FrameChecked = false;  // some attempt reached the frame check
    bool Valid = false;
    std::vector<uint8_t> Frame;  // payload and FCS, as the other receivers deliver it
    double EndTime = 0;          // where the closing flag ends, in samples
    int64_t FcsEvaluations = 0;  // frame checks made at lengths valid for the type
    // For a valid frame: its amplitude at full deviation, in the signal's
    // units, and the rms noise of one input sample that explains its
    // scatter about its levels.
    double Amplitude = 0;
    double NoiseRms = 0;
};

// Expected soft values indexed by the window (a[k-1], a[k], a[k+1]) of
// levels, each 0 for -1 and 1 for +1: index 4 * i + 2 * j + l.
using LevelTable = std::array<double, 8>;

// The channel seen on a burst's preamble:
// r = H0 a[k] + H1 (a[k-1] + a[k+1]) + Dc.
struct ChannelFit {
    double H0 = 0;
    double H1 = 0;
    double Dc = 0;
};

// One burst read at one timing: the soft values r[k] = (y(t0 + kT) - Dc) / H0
// from k = -1 (the flag's last level) on, held from index 0.
struct SoftBurst {
    double T0 = 0;
    ChannelFit Fit;
    LevelTable Prior{};  // the starting table for this fit
    std::vector<double> Soft;
    int BeforeLast = 0;  // the flag's last two levels, known
    int Last = 0;
    // The message type the first decisions give its first octet, -1 where
    // they run into a flag. The lengths below are those of the type, or of
    // any type where it has none defined.
    int Type = -1;
    int Extent = 0;       // levels decided: the longest frame
    int Span = 0;         // levels the longest frame can fill
    int LimitOctets = 0;  // octets past which it cannot be a frame
    double NoisePower = 1;  // of its reads, per unit of input noise power
};

class BurstDecoder {
public:
    explicit BurstDecoder(double samplesPerBit) : T(samplesPerBit) {}

    // Tries the first signal, then the second; each at the found timing and
    // 0.15 of a bit either side, with the starting table of expected levels
    // and one measured on the frame, then the repair.
    BurstResult Decode(const SignalView& first, const SignalView& second, const BurstCandidate& candidate,
                       bool repair) const;

    // Levels the decoder reads after the first data bit: enough for the
    // longest frame of any type, bit stuffing and the closing flag.
    static constexpr int MaxLevels = 1312;

    // The steps, in the order Decode takes them.

    // Least squares over the preamble's levels at their bit centres from t0
    // on; none where the fit is singular or its gain not positive.
    std::optional<ChannelFit> FitChannel(const SignalView& signal, const BurstCandidate& candidate,
                                         double t0) const;
    // The expected levels of a channel with this ratio of neighbour to own
    // gain.
    static LevelTable StartingTable(double neighbourGain);
    // Fits the channel, reads the message type and the soft values as far as
    // the longest frame of that type (of any type where the type read has
    // no defined length); none when the fit fails.
    std::optional<SoftBurst> Read(const SignalView& signal, const BurstCandidate& candidate,
                                  double t0) const;
    // The most likely levels a[0..count-1] given the soft values (Viterbi
    // over the states (a[k-1], a[k])).
    static std::vector<int> DecideLevels(const SoftBurst& burst, int count, const LevelTable& expected);
    // The levels the decisions give a frame: up to its closing flag, or the
    // longest frame of its type where there is none.
    static int FrameSpan(const SoftBurst& burst, const std::vector<int>& levels);
    // The mean soft value of each window of levels over the first span
    // levels, pulled towards the prior where the frame has few examples.
    static LevelTable MeasureTable(const SoftBurst& burst, const std::vector<int>& levels, int span,
                                   const LevelTable& prior);
    // Whether the levels hold a frame of valid length and good FCS; fills
    // the result (and measures the signal) when they do, and counts the FCS
    // evaluation either way.
    bool CheckFrame(const SoftBurst& burst, const std::vector<int>& levels, BurstResult& result) const;
    // Flips the levels whose flip costs least in squared error, singly and
    // in pairs, while the cost stays small for this signal; true when a
    // flipped sequence passes the frame check.
    bool RepairSearch(const SoftBurst& burst, const std::vector<int>& levels, const LevelTable& table,
                      BurstResult& result) const;
    // The amplitude and noise of a frame whose levels are known, from the
    // soft values of its first levelCount levels: each window's mean, and
    // the scatter about it.
    static void MeasureSignal(const SoftBurst& burst, const std::vector<int>& levels, int levelCount,
                              BurstResult& result);

private:
    // The decisions of one timing's two passes.
    struct Passes {
        std::optional<SoftBurst> Burst;
        std::vector<int> Levels;
        LevelTable Table{};
    };
    Passes TryTiming(const SignalView& signal, const BurstCandidate& candidate, double timing,
                     BurstResult& result) const;

    double T;
};

}  // namespace kelvane
