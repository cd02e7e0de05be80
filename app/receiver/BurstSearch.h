// The search for AIS bursts (ITU-R M.1371 training sequence and HDLC start
// flag) in one filtered discriminator signal: the signal read five times a
// bit, the Pearson correlation of every timing's last 20 levels with the two
// preamble patterns, and a candidate where the best of them is clear and the
// largest within three bits. It takes the signal in pieces of any size and
// keeps only the look-back its windows need.
#pragma once

#include "receiver/BurstDecoder.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace kelvane {

class BurstSearch {
public:
    // A new stream at this many samples per bit.
    void Start(double samplesPerBit);
    // Searches the signal as far as it goes (it must still hold the samples
    // from the last call's end on); the candidates whose neighbourhood is
    // complete are appended to found, in time order.
    void Add(const SignalView& signal, std::vector<BurstCandidate>& found);
    // The first bit not yet considered for a candidate.
    int64_t NextBit() const { return NextCandidate; }

    static constexpr float Threshold = 0.8f;  // the correlation a candidate needs
    static constexpr int Neighbourhood = 3;   // it is the best within this many bits

private:
    static constexpr int Phases = 5;
    static constexpr int Window = 20;       // levels correlated
    static constexpr size_t History = 160;  // points kept from one piece to the next
    static constexpr size_t Capacity = History + 512;

    // Per read point m (the signal at m * Step), from point Base on, each
    // quantity a run of Capacity floats in one buffer: the reads; the sum of
    // a read and the one a level before it; the difference and the sum of
    // two such pairs two levels apart; the sum of two fours; the same sums
    // of squares; and by how much the window ending there clears the
    // threshold (its larger squared product with the patterns less what the
    // threshold asks of its spread), positive where it may.
    enum Quantity : size_t { Z, Pair, Alternate, Four, Eight, PairSquare, FourSquare, EightSquare, Clear, Quantities };
    float* Run(Quantity q) { return Points.data() + q * Capacity; }
    const float* Run(Quantity q) const { return Points.data() + q * Capacity; }

    // A window's products with the two zero-mean patterns and its spread
    // (the sum of squares about its mean).
    struct Correlation {
        float Dot[2];
        float Spread;
    };
    static Correlation WindowAt(const float* points, size_t i, const float mean[2]);
    void Correlate(size_t from, size_t to);
    void Consider(int64_t bit, std::vector<BurstCandidate>& found) const;
    bool MayClear(int64_t bit) const
    {
        const float* clear = Run(Clear) + At(Phases * bit);
        float m = clear[0];
        for (size_t p = 1; p < Phases; ++p)
            m = std::max(m, clear[p]);
        return m > 0;
    }
    float SquaredMagnitude(int64_t bit) const;
    float Rho(int variant, size_t i) const;
    size_t At(int64_t point) const { return static_cast<size_t>(point - Base); }

    double Step = 1;  // samples from one read to the next: a fifth of a bit
    double T = 5;
    float Mean[2] = {};  // of each pattern's levels
    float Norm = 1;      // of the zero-mean patterns
    int64_t Base = 0;
    size_t Count = 0;
    std::vector<float> Points;
    int64_t NextCandidate = 0;
};

}  // namespace kelvane
