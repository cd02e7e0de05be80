#include "receiver/BurstSearch.h"

#include <algorithm>
#include <cmath>

namespace kelvane {

void BurstSearch::Start(double samplesPerBit)
{
    T = samplesPerBit;
    Step = samplesPerBit / Phases;
    // Both zero-mean patterns have the same norm: each has 13 levels of one
    // sign and 7 of the other.
    for (int v = 0; v < 2; ++v) {
        const std::vector<int>& levels = PreambleLevels(v);
        double mean = 0;
        for (int i = 1; i < PatternLevels; ++i)
            mean += levels[static_cast<size_t>(i)];
        mean /= Window;
        Mean[v] = static_cast<float>(mean);
        double norm = 0;
        for (int i = 1; i < PatternLevels; ++i)
            norm += (levels[static_cast<size_t>(i)] - mean) * (levels[static_cast<size_t>(i)] - mean);
        Norm = static_cast<float>(std::sqrt(norm));
    }
    // Points before the stream read as silence.
    Base = -static_cast<int64_t>(History);
    Count = History;
    Points.assign(Quantities * Capacity, 0.0f);
    // The first window whose 20 levels all lie in the stream ends at bit 19,
    // and a candidate is compared with the bits either side of it.
    NextCandidate = Window - 1 + Neighbourhood;
}

void BurstSearch::Add(const SignalView& signal, std::vector<BurstCandidate>& found)
{
    const int64_t lastSample = signal.First + signal.Count - 1;
    const float* samples = signal.Samples - signal.First;  // indexed by sample
    const double whole = std::round(Step);
    const bool wholeStep = whole == Step;
    float* z = Run(Z);
    while (true) {
        if (Count == Capacity) {
            // Keep the look-back; the rest has been searched.
            const size_t drop = Count - History;
            for (size_t q = 0; q < Quantities; ++q) {
                float* run = Points.data() + q * Capacity;
                std::copy(run + drop, run + Count, run);
            }
            Base += static_cast<int64_t>(drop);
            Count = History;
        }
        // Each read interpolates towards the next sample, so it waits for it.
        const size_t from = Count;
        if (wholeStep) {
            const auto step = static_cast<int64_t>(whole);
            const int64_t at = (Base + static_cast<int64_t>(Count)) * step;
            const int64_t readable = at + 1 <= lastSample ? (lastSample - 1 - at) / step + 1 : 0;
            const size_t n = std::min(Capacity - Count, static_cast<size_t>(readable));
            if (step == 1)
                std::copy(samples + at, samples + at + static_cast<int64_t>(n), z + Count);
            else
                for (size_t j = 0; j < n; ++j)
                    z[Count + j] = samples[at + static_cast<int64_t>(j) * step];
            Count += n;
        } else {
            for (; Count < Capacity; ++Count) {
                const double position = static_cast<double>(Base + static_cast<int64_t>(Count)) * Step;
                const auto i = static_cast<int64_t>(position);
                if (i + 1 > lastSample)
                    break;
                const double f = position - static_cast<double>(i);
                z[Count] = static_cast<float>(samples[i] + f * (samples[i + 1] - samples[i]));
            }
        }
        if (Count == from)
            break;
        Correlate(from, Count);
        const int64_t last = Base + static_cast<int64_t>(Count) - 1;
        for (; Phases * (NextCandidate + Neighbourhood) + Phases - 1 <= last; ++NextCandidate)
            if (MayClear(NextCandidate))
                Consider(NextCandidate, found);
    }
}

// The two patterns' levels 1..20 (window positions 1..20, the newest last),
// from a high level, as PreambleLevels gives them:
//   "...01": - - + + - - + + - - + + - - - - - - - +
//   "...10": - + + - - + + - - + + - + + + + + + + -
// Their products with a window are a few of the sums over pairs and fours
// of levels kept per point, so that each point costs a handful of additions.
inline BurstSearch::Correlation BurstSearch::WindowAt(const float* points, size_t i, const float mean[2])
{
    // Offsets back from a point: one level is five points. Window position
    // w (1..20) is the point i - L * (20 - w).
    constexpr size_t L = Phases;
    const float* z = points + Z * Capacity;
    const float* pair = points + Pair * Capacity;
    const float* alternate = points + Alternate * Capacity;
    const float* four = points + Four * Capacity;
    const float* eight = points + Eight * Capacity;
    const float* fourSquare = points + FourSquare * Capacity;
    const float* eightSquare = points + EightSquare * Capacity;
    const float sum = eight[i] + eight[i - 8 * L] + four[i - 16 * L];
    const float squares = eightSquare[i] + eightSquare[i - 8 * L] + fourSquare[i - 16 * L];
    const float run = four[i - 4 * L] + pair[i - 2 * L] + z[i - L];  // positions 13..19
    Correlation c;
    c.Dot[0] = alternate[i - 16 * L] + alternate[i - 12 * L] + alternate[i - 8 * L] - run + z[i] -
               mean[0] * sum;
    c.Dot[1] = pair[i - 17 * L] + alternate[i - 13 * L] + alternate[i - 9 * L] - z[i - 19 * L] - z[i - 8 * L] +
               run - z[i] - mean[1] * sum;
    // A window that hardly moves (digital silence) has no spread to speak
    // of; what the subtraction leaves of it is rounding, which must not pass
    // for a pattern.
    c.Spread = std::max(squares - sum * sum * (1.0f / Window), 1e-4f * squares + 1e-12f);
    return c;
}

void BurstSearch::Correlate(size_t from, size_t to)
{
    // A little below the threshold, so that rounding cannot hide a window
    // that clears it; Consider decides on the correlation itself.
    const float asked = 0.999f * Threshold * Threshold * Norm * Norm;
    const float mean[2] = {Mean[0], Mean[1]};
    // All quantities in one buffer at fixed distances, so that the compiler
    // sees that the loop's reads and writes never collide and runs it in
    // vector registers, with one base address for all. The sums a point
    // needs lie at least a level back, so one pass makes them all.
    float* points = Points.data();
    float* z = points + Z * Capacity;
    float* pair = points + Pair * Capacity;
    float* alternate = points + Alternate * Capacity;
    float* four = points + Four * Capacity;
    float* eight = points + Eight * Capacity;
    float* pairSquare = points + PairSquare * Capacity;
    float* fourSquare = points + FourSquare * Capacity;
    float* eightSquare = points + EightSquare * Capacity;
    float* clear = points + Clear * Capacity;
    constexpr size_t L = Phases;
    for (size_t i = from; i < to; ++i) {
        pair[i] = z[i] + z[i - L];
        pairSquare[i] = z[i] * z[i] + z[i - L] * z[i - L];
        alternate[i] = pair[i] - pair[i - 2 * L];
        four[i] = pair[i] + pair[i - 2 * L];
        fourSquare[i] = pairSquare[i] + pairSquare[i - 2 * L];
        eight[i] = four[i] + four[i - 4 * L];
        eightSquare[i] = fourSquare[i] + fourSquare[i - 4 * L];
        const Correlation c = WindowAt(points, i, mean);
        clear[i] = std::max(c.Dot[0] * c.Dot[0], c.Dot[1] * c.Dot[1]) - asked * c.Spread;
    }
}

float BurstSearch::SquaredMagnitude(int64_t bit) const
{
    const float normSquared = Norm * Norm;
    float m = 0;
    for (int p = 0; p < Phases; ++p) {
        const Correlation c = WindowAt(Points.data(), At(Phases * bit + p), Mean);
        m = std::max(m, std::max(c.Dot[0] * c.Dot[0], c.Dot[1] * c.Dot[1]) / (normSquared * c.Spread));
    }
    return m;
}

float BurstSearch::Rho(int variant, size_t i) const
{
    const Correlation c = WindowAt(Points.data(), i, Mean);
    return c.Dot[variant] / (Norm * std::sqrt(c.Spread));
}

void BurstSearch::Consider(int64_t bit, std::vector<BurstCandidate>& found) const
{
    const float squared = SquaredMagnitude(bit);
    if (squared <= Threshold * Threshold)
        return;
    // The largest within the neighbourhood; of equals, the first.
    for (int64_t j = bit - Neighbourhood; j <= bit + Neighbourhood; ++j) {
        const float other = j == bit ? 0.0f : SquaredMagnitude(j);
        if (j < bit ? other >= squared : other > squared)
            return;
    }
    int phase = 0;
    int variant = 0;
    float largest = 0;
    for (int p = 0; p < Phases; ++p) {
        const size_t i = At(Phases * bit + p);
        for (int v = 0; v < 2; ++v) {
            const float r = std::abs(Rho(v, i));
            if (r > largest) {
                largest = r;
                phase = p;
                variant = v;
            }
        }
    }
    if (largest <= Threshold)
        return;
    const size_t at = At(Phases * bit + phase);
    const int sign = Rho(variant, at) > 0 ? 1 : -1;
    // A parabola through the neighbouring reads places the bit centres.
    const float before = static_cast<float>(sign) * Rho(variant, at - 1);
    const float middle = static_cast<float>(sign) * Rho(variant, at);
    const float after = static_cast<float>(sign) * Rho(variant, at + 1);
    const float curvature = before - 2 * middle + after;
    const double offset = curvature < 0 ? std::clamp(0.5 * (before - after) / curvature, -0.5, 0.5) : 0.0;
    BurstCandidate candidate;
    // The window's last level, the flag's closing 0, sits at this bit; the
    // first data bit follows it.
    candidate.T0 = (static_cast<double>(bit) + (phase + offset) / Phases + 1) * T;
    candidate.Variant = variant;
    candidate.Sign = sign;
    candidate.Rho = largest;
    found.push_back(candidate);
}

}  // namespace kelvane
