#include "BurstDemodulator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelvane {

namespace {

constexpr double BitRate = 9600;
constexpr float Threshold = 0.8f;  // the preamble correlation a candidate needs
constexpr int Neighbourhood = 3;   // a candidate is the best within this many bits

// A Gaussian low-pass 3 dB down at bt * 9600 Hz, cut at three sigma.
std::vector<float> GaussianTaps(double bt, double sampleRate, int half)
{
    const double sigma = std::sqrt(std::log(2.0)) / (2 * std::numbers::pi * bt * BitRate) * sampleRate;
    const int own = static_cast<int>(std::ceil(3 * sigma));
    std::vector<float> taps(static_cast<size_t>(2 * half + 1), 0.0f);
    double sum = 0;
    for (int i = -own; i <= own; ++i)
        sum += std::exp(-0.5 * i * i / (sigma * sigma));
    for (int i = -own; i <= own; ++i)
        taps[static_cast<size_t>(i + half)] = static_cast<float>(std::exp(-0.5 * i * i / (sigma * sigma)) / sum);
    return taps;
}

int HalfLength(double bt, double sampleRate)
{
    const double sigma = std::sqrt(std::log(2.0)) / (2 * std::numbers::pi * bt * BitRate) * sampleRate;
    return static_cast<int>(std::ceil(3 * sigma));
}

// The zero-mean search patterns: levels 1..20 of each preamble.
const std::array<std::array<float, 20>, 2>& SearchPatterns()
{
    static const std::array<std::array<float, 20>, 2> patterns = [] {
        std::array<std::array<float, 20>, 2> result{};
        for (int v = 0; v < 2; ++v) {
            const std::vector<int>& levels = PreambleLevels(v);
            double mean = 0;
            for (int i = 1; i < PatternLevels; ++i)
                mean += levels[static_cast<size_t>(i)];
            mean /= 20;
            double norm = 0;
            for (int i = 0; i < 20; ++i) {
                const double c = levels[static_cast<size_t>(i + 1)] - mean;
                result[static_cast<size_t>(v)][static_cast<size_t>(i)] = static_cast<float>(c);
                norm += c * c;
            }
            for (float& c : result[static_cast<size_t>(v)])
                c = static_cast<float>(c / std::sqrt(norm));
        }
        return result;
    }();
    return patterns;
}

}  // namespace

void BurstDemodulator::Start(int32_t sampleRate)
{
    Running = sampleRate > 0;
    if (!Running)
        return;
    T = sampleRate / BitRate;
    // A slow DC tracker: a time constant of 20 ms.
    DcAlpha = static_cast<float>(1.0 / (0.02 * sampleRate));
    Dc = 127.5f;
    Half = HalfLength(0.35, sampleRate);
    WideTaps = GaussianTaps(0.5, sampleRate, Half);
    NarrowTaps = GaussianTaps(0.35, sampleRate, Half);
    // The filters see silence before the stream's first sample.
    Input.assign(static_cast<size_t>(Half), 0.0f);
    InputBase = -Half;
    FilteredBase = 0;
    InputCount = 0;
    Wide.clear();
    NextBit = 0;
    Streams = {};
    WindowSum = {};
    WindowSquares = {};
    Bests = {};
    Pending.clear();
    BusyUntil = -1;
    Recent.clear();
}

void BurstDemodulator::ProcessBlock(const ChannelBlock& block)
{
    if (!Running)
        return;
    int peak = 0;
    for (const uint8_t s : block.Bytes)
        peak = std::max(peak, static_cast<int>(s));
    // On the 8-bit scale either way, so that the levels and thresholds are
    // the same for both sample sizes.
    auto add = [this](float s) {
        Dc += DcAlpha * (s - Dc);
        Input.push_back(s - Dc);
    };
    if (block.Wide.empty()) {
        for (const uint8_t s : block.Bytes)
            add(static_cast<float>(s));
    } else {
        for (const int16_t s : block.Wide)
            add(static_cast<float>(s) / 256.0f + 128.0f);
    }
    InputCount += static_cast<int64_t>(block.Wide.empty() ? block.Bytes.size() : block.Wide.size());
    FilterNewSamples();
    Search();
    DecodeReady(false);
    Trim();
    Sink.InputLevel(Channel, peak);
}

void BurstDemodulator::FilterNewSamples()
{
    // Every sample whose window of input is complete: eight at a time side by
    // side, so that the compiler keeps them in vector registers, then the
    // rest one by one (a batch must not read input that has not come yet).
    int64_t centre = FilteredBase + static_cast<int64_t>(Wide.size());
    const int64_t lastCentre = InputCount - 1 - Half;
    const size_t taps = WideTaps.size();
    for (; centre + 7 <= lastCentre; centre += 8) {
        const float* x = Input.data() + (centre - Half - InputBase);
        std::array<float, 8> sum{};
        for (size_t j = 0; j < taps; ++j)
            for (size_t lane = 0; lane < 8; ++lane)
                sum[lane] += WideTaps[j] * x[j + lane];
        Wide.insert(Wide.end(), sum.begin(), sum.end());
    }
    for (; centre <= lastCentre; ++centre) {
        const float* x = Input.data() + (centre - Half - InputBase);
        float sum = 0;
        for (size_t j = 0; j < taps; ++j)
            sum += WideTaps[j] * x[j];
        Wide.push_back(sum);
    }
}

SignalView BurstDemodulator::NarrowAround(const BurstCandidate& candidate)
{
    // From the preamble to the longest frame's end, where input exists.
    const int64_t lastCentre = InputCount - 1 - Half;
    const int64_t from = std::max(static_cast<int64_t>(candidate.T0 - (PatternLevels + 4) * T),
                                  InputBase + Half);
    const int64_t to = std::min(static_cast<int64_t>(candidate.T0 + (BurstDecoder::MaxLevels + 4) * T),
                                lastCentre);
    Narrow.clear();
    NarrowFirst = from;
    for (int64_t centre = from; centre <= to; ++centre) {
        const float* x = Input.data() + (centre - Half - InputBase);
        float sum = 0;
        for (size_t j = 0; j < NarrowTaps.size(); ++j)
            sum += NarrowTaps[j] * x[j];
        Narrow.push_back(sum);
    }
    return {Narrow.data(), NarrowFirst, static_cast<int64_t>(Narrow.size())};
}

double BurstDemodulator::LastReadable() const
{
    // Reads interpolate towards the next sample.
    return static_cast<double>(FilteredBase + static_cast<int64_t>(Wide.size()) - 2);
}

float BurstDemodulator::Filtered(const std::vector<float>& signal, double t) const
{
    const double position = t - static_cast<double>(FilteredBase);
    const auto i = static_cast<int64_t>(position);
    const double f = position - static_cast<double>(i);
    const float a = signal[static_cast<size_t>(i)];
    const float b = signal[static_cast<size_t>(i + 1)];
    return static_cast<float>(a + f * (b - a));
}

void BurstDemodulator::Search()
{
    const auto& patterns = SearchPatterns();
    const double last = LastReadable();
    // Bit k's five phases, once the last of them can be read.
    while ((static_cast<double>(NextBit) + 0.8) * T <= last) {
        const auto slot = static_cast<size_t>(NextBit % 32);
        for (int p = 0; p < 5; ++p) {
            const float s = Filtered(Wide, (static_cast<double>(NextBit) + p / 5.0) * T);
            Streams[slot][static_cast<size_t>(p)] = s;
            Streams[slot + 32][static_cast<size_t>(p)] = s;
        }
        BitBest& best = Bests[static_cast<size_t>(NextBit % 16)];
        best = BitBest{};
        const std::array<float, 8>& newest = Streams[slot + 32];
        const std::array<float, 8>& oldest = Streams[slot + 32 - 20];  // leaves the window
        if (NextBit % 256 == 0) {
            WindowSum = {};
            WindowSquares = {};
            for (size_t i = 0; i < 20; ++i) {
                for (size_t lane = 0; lane < 8; ++lane) {
                    const double v = Streams[slot + 32 - 19 + i][lane];
                    WindowSum[lane] += v;
                    WindowSquares[lane] += v * v;
                }
            }
        } else {
            for (size_t lane = 0; lane < 8; ++lane) {
                const double in = newest[lane];
                const double out = NextBit >= 20 ? oldest[lane] : 0.0f;
                WindowSum[lane] += in - out;
                WindowSquares[lane] += in * in - out * out;
            }
        }
        if (NextBit >= 19) {
            // Pearson correlation of each phase's last 20 values with each
            // (zero-mean) pattern, the phases side by side in the lanes.
            std::array<float, 8> dotA{}, dotB{};
            for (size_t i = 0; i < 20; ++i) {
                const std::array<float, 8>& values = Streams[slot + 32 - 19 + i];
                const float a = patterns[0][i];
                const float b = patterns[1][i];
                for (size_t lane = 0; lane < 8; ++lane) {
                    dotA[lane] += values[lane] * a;
                    dotB[lane] += values[lane] * b;
                }
            }
            for (int p = 0; p < 5; ++p) {
                const auto lane = static_cast<size_t>(p);
                const double variance =
                    WindowSquares[lane] - WindowSum[lane] * WindowSum[lane] / 20;
                const float inverseSpread = static_cast<float>(1.0 / std::sqrt(std::max(variance, 1e-12)));
                const std::array<float, 2> rho = {dotA[lane] * inverseSpread, dotB[lane] * inverseSpread};
                best.Phases[lane].Rho = rho;
                for (int v = 0; v < 2; ++v) {
                    const float r = rho[static_cast<size_t>(v)];
                    if (std::abs(r) > best.Magnitude) {
                        best.Magnitude = std::abs(r);
                        best.Phase = p;
                        best.Variant = v;
                        best.Sign = r > 0 ? 1 : -1;
                    }
                }
            }
        }
        ConsiderCandidate(NextBit - Neighbourhood);
        ++NextBit;
    }
}

void BurstDemodulator::ConsiderCandidate(int64_t k)
{
    if (k < 19 + Neighbourhood)
        return;
    const BitBest& best = Bests[static_cast<size_t>(k % 16)];
    if (best.Magnitude <= Threshold)
        return;
    for (int64_t j = k - Neighbourhood; j <= k + Neighbourhood; ++j) {
        const float other = Bests[static_cast<size_t>(j % 16)].Magnitude;
        if (j < k ? other >= best.Magnitude : other > best.Magnitude)
            return;
    }
    // A parabola through the neighbouring phases places the bit centres.
    auto rhoAt = [&](int64_t bit, int phase) {
        if (phase < 0) {
            phase += 5;
            --bit;
        } else if (phase > 4) {
            phase -= 5;
            ++bit;
        }
        return static_cast<float>(best.Sign) * Bests[static_cast<size_t>(bit % 16)]
                               .Phases[static_cast<size_t>(phase)]
                               .Rho[static_cast<size_t>(best.Variant)];
    };
    const float before = rhoAt(k, best.Phase - 1);
    const float at = rhoAt(k, best.Phase);
    const float after = rhoAt(k, best.Phase + 1);
    const float curvature = before - 2 * at + after;
    const double offset = curvature < 0 ? std::clamp(0.5 * (before - after) / curvature, -0.5, 0.5) : 0.0;
    BurstCandidate candidate;
    // The window's last level, the flag's closing 0, sits at bit k; the
    // first data bit follows it.
    candidate.T0 = (static_cast<double>(k) + (best.Phase + offset) / 5.0 + 1) * T;
    candidate.Variant = best.Variant;
    candidate.Sign = best.Sign;
    candidate.Rho = best.Magnitude;
    Pending.push_back(candidate);
}

void BurstDemodulator::DecodeReady(bool flushing)
{
    const double available = LastReadable();
    while (!Pending.empty()) {
        const BurstCandidate candidate = Pending.front();
        if (!flushing && candidate.T0 + (BurstDecoder::MaxLevels + 2) * T > available)
            break;
        Pending.pop_front();
        Decode(candidate);
    }
}

void BurstDemodulator::Decode(const BurstCandidate& candidate)
{
    if (candidate.T0 < BusyUntil)
        return;  // inside a frame already decoded
    Sink.PreSync(Channel);
    const SignalView wide{Wide.data(), FilteredBase, static_cast<int64_t>(Wide.size())};
    const BurstDecoder decoder(T);
    const BurstResult result = decoder.Decode(wide, NarrowAround(candidate), candidate, Repair);
    FcsEvaluations += result.FcsEvaluations;
    if (!result.FrameChecked)
        return;
    if (result.Valid) {
        // The same payload again within 50 ms, overlapping the first, is the
        // same burst; an identical message in the next slot is a message of
        // its own.
        const double window = 0.05 * BitRate * T;
        while (!Recent.empty() && Recent.front().Start < candidate.T0 - window)
            Recent.pop_front();
        for (const DecodedBurst& earlier : Recent)
            if (earlier.Frame == result.Frame && candidate.T0 < earlier.End)
                return;
        Recent.push_back({candidate.T0, result.EndTime, result.Frame});
        BusyUntil = result.EndTime;
        Sink.Sync(Channel);
        Sink.Frame({result.Frame, Channel, static_cast<int64_t>(result.EndTime)});
    } else {
        Sink.Sync(Channel);
        Sink.FrameError(Channel);
    }
}

void BurstDemodulator::Finish()
{
    if (Running)
        DecodeReady(true);
}

void BurstDemodulator::Trim()
{
    // Keep what the oldest waiting burst needs, and the preamble of a burst
    // not yet found: 64 bits back from the search, at least.
    double keepFrom = (static_cast<double>(NextBit) - 64) * T;
    if (!Pending.empty())
        keepFrom = std::min(keepFrom, Pending.front().T0 - (PatternLevels + 4) * T);
    // Dropped in large steps, so that the copying costs little.
    const int64_t drop = static_cast<int64_t>(keepFrom) - FilteredBase - 4;
    if (drop < 65536)
        return;
    Input.erase(Input.begin(), Input.begin() + drop);
    Wide.erase(Wide.begin(), Wide.begin() + drop);
    InputBase += drop;
    FilteredBase += drop;
}

}  // namespace kelvane
