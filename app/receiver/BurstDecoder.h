// Decodes one AIS burst (ITU-R M.1371 GMSK, HDLC framing of ISO/IEC 13239)
// from soft samples of the filtered discriminator signal, given where its
// training sequence and start flag were found: a per-burst channel fit, a
// 4-state Viterbi over the level sequence with inter-symbol interference,
// a table of expected levels measured on the frame itself, timing tries and
// a small repair search.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace kelvane {

// A filtered signal held from sample First on; reads between samples are
// interpolated linearly, reads outside it are 0.
struct SignalView {
    const float* Samples = nullptr;
    int64_t First = 0;
    int64_t Count = 0;
    double At(double t) const;
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
};

class BurstDecoder {
public:
    explicit BurstDecoder(double samplesPerBit) : T(samplesPerBit) {}

    // Tries the BT 0.5 signal, then the BT 0.35 one; each at the found
    // timing and a sixth of a bit either side, with the starting table of
    // expected levels and one measured on the frame, then the repair.
    // The narrow signal is asked for only when the wide one fails.
    BurstResult Decode(const SignalView& wide, const std::function<SignalView()>& narrow,
                       const BurstCandidate& candidate, bool repair) const;

    // Levels the decoder reads after the first data bit: enough for the
    // longest frame of any type, bit stuffing and the closing flag.
    static constexpr int MaxLevels = 1312;

private:
    struct Attempt;
    // One timing on one signal: the starting and the measured table, or with
    // repairOnly the repair search on the measured table's decisions.
    bool Try(const SignalView& signal, const BurstCandidate& candidate, double timing,
             bool repairOnly, BurstResult& result) const;

    double T;
};

}  // namespace kelvane
