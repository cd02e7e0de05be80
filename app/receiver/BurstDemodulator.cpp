#include "receiver/BurstDemodulator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace kelvane {

namespace {

constexpr double BitRate = 9600;
// The DC tracker's time constant, in seconds.
constexpr double DcSeconds = 2.0;

int HalfLength(double bt, double sampleRate)
{
    const double sigma = std::sqrt(std::log(2.0)) / (2 * std::numbers::pi * bt * BitRate) * sampleRate;
    return static_cast<int>(std::ceil(3 * sigma));
}

// A Gaussian low-pass 3 dB down at bt * 9600 Hz, cut at three sigma.
std::vector<float> GaussianTaps(double bt, double sampleRate)
{
    const double sigma = std::sqrt(std::log(2.0)) / (2 * std::numbers::pi * bt * BitRate) * sampleRate;
    const int half = HalfLength(bt, sampleRate);
    std::vector<float> taps(static_cast<size_t>(2 * half + 1), 0.0f);
    double sum = 0;
    for (int i = -half; i <= half; ++i)
        sum += std::exp(-0.5 * i * i / (sigma * sigma));
    for (int i = -half; i <= half; ++i)
        taps[static_cast<size_t>(i + half)] = static_cast<float>(std::exp(-0.5 * i * i / (sigma * sigma)) / sum);
    return taps;
}

// out[i] = sum of taps[j] * x[i + j], summed in the order of the taps
// whichever way it runs.
void Convolve(const float* __restrict x, const float* __restrict taps, size_t tapCount, float* __restrict out,
              size_t count)
{
    size_t i = 0;
#if defined(__GNUC__)
    // Sixteen outputs at a time in four vector registers, a tap at a time:
    // each tap costs a load, a multiplication and an addition per four.
    using Lanes = float __attribute__((vector_size(16)));
    auto load = [](const float* p) {
        Lanes v;
        std::memcpy(&v, p, sizeof v);
        return v;
    };
    for (; i + 16 <= count; i += 16) {
        const float* in = x + i;
        Lanes a = taps[0] * load(in);
        Lanes b = taps[0] * load(in + 4);
        Lanes c = taps[0] * load(in + 8);
        Lanes d = taps[0] * load(in + 12);
        for (size_t j = 1; j < tapCount; ++j) {
            const float tap = taps[j];
            a += tap * load(in + j);
            b += tap * load(in + j + 4);
            c += tap * load(in + j + 8);
            d += tap * load(in + j + 12);
        }
        std::memcpy(out + i, &a, sizeof a);
        std::memcpy(out + i + 4, &b, sizeof b);
        std::memcpy(out + i + 8, &c, sizeof c);
        std::memcpy(out + i + 12, &d, sizeof d);
    }
#endif
    for (; i < count; ++i) {
        float sum = taps[0] * x[i];
        for (size_t j = 1; j < tapCount; ++j)
            sum += taps[j] * x[i + j];
        out[i] = sum;
    }
}

// A sample on the 8-bit scale, so that the levels and thresholds are the
// same for both sample sizes.
float Scaled(uint8_t s) { return s; }
float Scaled(int16_t s) { return static_cast<float>(s) / 256.0f + 128.0f; }
// The sum of samples on the 8-bit scale, from their own exact sum.
double ScaledSum(int32_t sum, size_t, uint8_t) { return static_cast<double>(sum); }
double ScaledSum(int32_t sum, size_t count, int16_t)
{
    return static_cast<double>(sum) / 256.0 + 128.0 * static_cast<double>(count);
}

}  // namespace

SignalView BurstDemodulator::Path::View(int64_t first) const
{
    return {Filtered.data(), first, static_cast<int64_t>(Filtered.size()), NoisePower, NoiseNeighbour};
}

void BurstDemodulator::Start(int32_t sampleRate)
{
    Running = sampleRate > 0;
    if (!Running)
        return;
    T = sampleRate / BitRate;
    DcWeight = 1 - std::exp(-DcChunk / (DcSeconds * sampleRate));
    Dc = 127.5f;
    DcSum = 0;
    DcFill = 0;
    const double bts[2] = {0.5, 0.35};
    Half = 0;
    for (size_t p = 0; p < Paths.size(); ++p) {
        Path& path = Paths[p];
        path.Taps = GaussianTaps(bts[p], sampleRate);
        path.Half = HalfLength(bts[p], sampleRate);
        path.NoisePower = 0;
        path.NoiseNeighbour = 0;
        for (size_t j = 0; j < path.Taps.size(); ++j) {
            path.NoisePower += static_cast<double>(path.Taps[j]) * path.Taps[j];
            if (j + 1 < path.Taps.size())
                path.NoiseNeighbour += static_cast<double>(path.Taps[j]) * path.Taps[j + 1];
        }
        path.Filtered.clear();
        path.Search.Start(T);
        Half = std::max(Half, path.Half);
    }
    // The filters see silence before the stream's first sample.
    Input.assign(static_cast<size_t>(Half), 0.0f);
    InputBase = -Half;
    FilteredBase = 0;
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
    if (block.Wide.empty())
        TakeInput(block.Bytes);
    else
        TakeInput(block.Wide);
    FilterNewSamples();
    DecodeReady(false);
    Trim();
    Sink.InputLevel(Channel, peak);
}

template <typename Sample>
void BurstDemodulator::TakeInput(std::span<const Sample> samples)
{
    const size_t done = Input.size();
    Input.resize(done + samples.size());
    float* input = Input.data() + done;
    for (size_t i = 0; i < samples.size();) {
        const size_t run = std::min(samples.size() - i, static_cast<size_t>(DcChunk - DcFill));
        const float dc = Dc;
        int32_t sum = 0;  // 64 samples of 16 bits fit
        for (size_t j = i; j < i + run; ++j)
            sum += samples[j];
        for (size_t j = i; j < i + run; ++j)
            input[j] = Scaled(samples[j]) - dc;
        DcSum += ScaledSum(sum, run, Sample{});
        DcFill += static_cast<int>(run);
        i += run;
        if (DcFill == DcChunk) {
            Dc = static_cast<float>(Dc + DcWeight * (DcSum / DcChunk - Dc));
            DcSum = 0;
            DcFill = 0;
        }
    }
}

int64_t BurstDemodulator::FilteredEnd() const
{
    return FilteredBase + static_cast<int64_t>(Paths[0].Filtered.size());
}

void BurstDemodulator::FilterNewSamples()
{
    // Every sample whose window of input is complete, for both filters
    // alike, so that their searches keep step.
    const int64_t first = FilteredEnd();
    const int64_t last = InputBase + static_cast<int64_t>(Input.size()) - 1 - Half;
    if (last < first)
        return;
    const auto count = static_cast<size_t>(last - first + 1);
    for (size_t which = 0; which < Paths.size(); ++which) {
        Path& path = Paths[which];
        const size_t done = path.Filtered.size();
        path.Filtered.resize(done + count);
        Convolve(Input.data() + (first - path.Half - InputBase), path.Taps.data(), path.Taps.size(),
                 path.Filtered.data() + done, count);
        NewlyFound.clear();
        path.Search.Add(path.View(FilteredBase), NewlyFound);
        for (const BurstCandidate& candidate : NewlyFound) {
            const auto at = std::upper_bound(Pending.begin(), Pending.end(), candidate.T0,
                                             [](double t, const Found& f) { return t < f.Candidate.T0; });
            Pending.insert(at, Found{candidate, which});
        }
    }
    // The next sample's window starts here.
    const int64_t keep = last + 1 - Half;
    Input.erase(Input.begin(), Input.begin() + static_cast<std::ptrdiff_t>(keep - InputBase));
    InputBase = keep;
}

void BurstDemodulator::DecodeReady(bool flushing)
{
    // Reads interpolate towards the next sample.
    const auto available = static_cast<double>(FilteredEnd() - 2);
    while (!Pending.empty()) {
        // Both searches find most bursts: a candidate of the other search
        // within a few bits is the same preamble, decoded as one.
        std::array<Found, 2> group{Pending.front()};
        size_t members = 1;
        if (Pending.size() > 1 && Pending[1].Path != group[0].Path &&
            Pending[1].Candidate.T0 - group[0].Candidate.T0 <= BurstSearch::Neighbourhood * T)
            group[members++] = Pending[1];
        if (!flushing && group[members - 1].Candidate.T0 + (BurstDecoder::MaxLevels + 2) * T > available)
            break;
        Pending.erase(Pending.begin(), Pending.begin() + static_cast<std::ptrdiff_t>(members));
        // The clearer preamble first.
        if (members == 2 && group[1].Candidate.Rho > group[0].Candidate.Rho)
            std::swap(group[0], group[1]);
        Decode(std::span(group.data(), members));
    }
}

void BurstDemodulator::Decode(std::span<const Found> group)
{
    // A preamble overlapping a frame already decoded is no preamble: the
    // next transmission starts after that frame's closing flag.
    for (const Found& found : group)
        if (found.Candidate.T0 - (PatternLevels - 1) * T <= BusyUntil)
            return;
    Sink.PreSync(Channel);
    const BurstDecoder decoder(T);
    BurstResult result;
    const BurstCandidate* decoded = nullptr;
    for (const Found& found : group) {
        // First on the signal whose search found it.
        const Path& own = Paths[found.Path];
        const Path& other = Paths[1 - found.Path];
        const BurstResult attempt =
            decoder.Decode(own.View(FilteredBase), other.View(FilteredBase), found.Candidate, Repair);
        FcsEvaluations += attempt.FcsEvaluations;
        result.FrameChecked = result.FrameChecked || attempt.FrameChecked;
        if (attempt.Valid) {
            const bool checked = result.FrameChecked;
            result = attempt;
            result.FrameChecked = checked;
            decoded = &found.Candidate;
            break;
        }
    }
    if (!result.FrameChecked)
        return;
    if (decoded == nullptr) {
        Sink.Sync(Channel);
        Sink.FrameError(Channel);
        return;
    }
    // The same payload again within 50 ms, overlapping the first, is the
    // same burst; an identical message in the next slot is a message of its
    // own.
    const double window = 0.05 * BitRate * T;
    while (!Recent.empty() && Recent.front().Start < decoded->T0 - window)
        Recent.pop_front();
    for (const DecodedBurst& earlier : Recent)
        if (earlier.Frame == result.Frame && decoded->T0 < earlier.End)
            return;
    Recent.push_back({decoded->T0, result.EndTime, result.Frame});
    BusyUntil = result.EndTime;
    Sink.Sync(Channel);
    // On the 8-bit scale, whose full scale is 128 steps from the midline.
    ReceivedFrame frame{result.Frame, Channel, static_cast<int64_t>(result.EndTime)};
    if (result.Amplitude > 0) {
        frame.LevelDb = 20 * std::log10(result.Amplitude / 128);
        if (result.NoiseRms > 0)
            frame.SnrDb = 20 * std::log10(result.Amplitude / result.NoiseRms);
    }
    Sink.Frame(frame);
}

void BurstDemodulator::Finish()
{
    if (Running)
        DecodeReady(true);
}

void BurstDemodulator::Trim()
{
    // Keep what the oldest waiting burst needs, and the preamble of a burst
    // not yet found.
    int64_t searched = Paths[0].Search.NextBit();
    for (const Path& path : Paths)
        searched = std::min(searched, path.Search.NextBit());
    double keepFrom = (static_cast<double>(searched) - 30) * T;
    if (!Pending.empty())
        keepFrom = std::min(keepFrom, Pending.front().Candidate.T0 - (PatternLevels + 4) * T);
    // Dropped in large steps, so that the copying costs little.
    const int64_t drop = static_cast<int64_t>(keepFrom) - FilteredBase - 4;
    if (drop < 65536)
        return;
    for (Path& path : Paths)
        path.Filtered.erase(path.Filtered.begin(), path.Filtered.begin() + static_cast<std::ptrdiff_t>(drop));
    FilteredBase += drop;
}

}  // namespace kelvane
