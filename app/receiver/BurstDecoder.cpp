#include "receiver/BurstDecoder.h"

#include "receiver/AisMessageLengths.h"
#include "receiver/FrameCheck.h"
#include "receiver/HdlcReceiver.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

namespace kelvane {

double SignalView::At(double t) const
{
    const double position = t - static_cast<double>(First);
    if (position < 0 || position > static_cast<double>(Count - 1))
        return 0;
    const auto i = static_cast<int64_t>(position);
    const double f = position - static_cast<double>(i);
    const float a = Samples[i];
    const float b = i + 1 < Count ? Samples[i + 1] : a;
    return a + f * (b - a);
}

double SignalView::NoisePowerAt(double t) const
{
    const double position = t - static_cast<double>(First);
    const double f = position - std::floor(position);
    return ((1 - f) * (1 - f) + f * f) * NoisePower + 2 * f * (1 - f) * NoiseNeighbour;
}

const std::vector<int>& PreambleLevels(int variant)
{
    // NRZI from a high level: a 0 bit changes the level, a 1 keeps it.
    static const std::array<std::vector<int>, 2> patterns = [] {
        std::array<std::vector<int>, 2> result;
        for (int v = 0; v < 2; ++v) {
            std::vector<int> bits;
            for (int i = 0; i < 13; ++i)  // training, ending "...01" or "...10"
                bits.push_back((i + (v == 0 ? 1 : 0)) % 2);
            for (int b : {0, 1, 1, 1, 1, 1, 1, 0})  // start flag
                bits.push_back(b);
            int level = 1;
            for (int b : bits) {
                if (b == 0)
                    level = -level;
                result[static_cast<size_t>(v)].push_back(level);
            }
        }
        return result;
    }();
    return patterns[static_cast<size_t>(variant)];
}

namespace {

int Bit(int level) { return level > 0 ? 1 : 0; }
int Window(int before, int level, int after) { return 4 * Bit(before) + 2 * Bit(level) + Bit(after); }

// The window of level k of a decided sequence; the level after the last is
// taken to be the last.
int WindowAt(const SoftBurst& burst, const std::vector<int>& a, int k)
{
    const int before = k == 0 ? burst.Last : a[static_cast<size_t>(k - 1)];
    const int after = k + 1 < static_cast<int>(a.size()) ? a[static_cast<size_t>(k + 1)] : a[static_cast<size_t>(k)];
    return Window(before, a[static_cast<size_t>(k)], after);
}

// Runs the levels after the start flag through the receiver, NRZI-decoded (a
// level unchanged is a 1): the levels up to the end of the closing flag, or
// 0 where no frame closes (an abort, a flag straight after the start flag,
// too long, or the levels ran out).
int Deframe(HdlcReceiver& hdlc, const std::vector<int>& levels, int previous)
{
    hdlc.Start();
    for (size_t k = 0; k < levels.size(); ++k) {
        const HdlcReceiver::Event event = hdlc.Bit(levels[k] == previous ? 1 : 0);
        previous = levels[k];
        if (event != HdlcReceiver::Event::None)
            return event == HdlcReceiver::Event::Frame ? static_cast<int>(k) + 1 : 0;
    }
    return 0;
}

// The first octet's message type from the first data bits, or -1 where a
// flag or an abort comes before a whole octet.
int MessageType(const std::vector<int>& levels, int previous)
{
    // A flag's 0 and six 1s may begin within the first octet and end after
    // it, and the receiver tells of it at the next bit: read on until one
    // that begins in the octet would have been told. The length is no
    // concern here.
    HdlcReceiver hdlc(HdlcReceiver::Framing::Bitwise, 2);
    hdlc.Start();
    for (int level : levels) {
        if (hdlc.Bit(level == previous ? 1 : 0) != HdlcReceiver::Event::None)
            return -1;
        previous = level;
        if (hdlc.Bits() > 8 + 6)
            break;
    }
    return hdlc.Octets().empty() ? -1 : hdlc.Octets()[0] >> 2;
}

// Solves the 3 x 3 system m x = v by Cramer's rule; none when singular.
std::optional<std::array<double, 3>> Solve3(const double m[3][3], const double v[3])
{
    auto det3 = [](const double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
               a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    const double d = det3(m);
    if (std::abs(d) < 1e-9)
        return std::nullopt;
    std::array<double, 3> x{};
    for (int c = 0; c < 3; ++c) {
        double mc[3][3];
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b)
                mc[a][b] = b == c ? v[a] : m[a][b];
        x[static_cast<size_t>(c)] = det3(mc) / d;
    }
    return x;
}

// The length of the longest message of any type.
const MessageLength& LongestMessage()
{
    static const MessageLength longest = *std::max_element(
        MessageLengths.begin(), MessageLengths.end(),
        [](const MessageLength& a, const MessageLength& b) { return a.MaxBits < b.MaxBits; });
    return longest;
}

}  // namespace

LevelTable BurstDecoder::StartingTable(double neighbourGain)
{
    LevelTable table{};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            for (int l = 0; l < 2; ++l)
                table[static_cast<size_t>(4 * i + 2 * j + l)] =
                    (2 * j - 1) + neighbourGain * ((2 * i - 1) + (2 * l - 1));
    return table;
}

std::optional<ChannelFit> BurstDecoder::FitChannel(const SignalView& signal, const BurstCandidate& candidate,
                                                   double t0) const
{
    // Level i of the pattern lies at bit i - 21 from the first data bit;
    // the fit takes the bit centres whose neighbours are both known, the
    // first searched level's earlier one being the training bit before the
    // pattern. Leaving that level out helps a little behind an AC-coupled
    // input, whose droop is worst at the earliest point, and costs a little
    // more behind a receiver's low-pass or de-emphasis.
    const std::vector<int>& pattern = PreambleLevels(candidate.Variant);
    auto known = [&](int i) { return candidate.Sign * pattern[static_cast<size_t>(i)]; };
    double m[3][3] = {};
    double v[3] = {};
    for (int i = 1; i < PatternLevels - 1; ++i) {
        const double x[3] = {static_cast<double>(known(i)),
                             static_cast<double>(known(i - 1) + known(i + 1)), 1.0};
        const double y = signal.At(t0 + (i - PatternLevels) * T);
        for (int a = 0; a < 3; ++a) {
            v[a] += x[a] * y;
            for (int b = 0; b < 3; ++b)
                m[a][b] += x[a] * x[b];
        }
    }
    const std::optional<std::array<double, 3>> fit = Solve3(m, v);
    if (!fit || !((*fit)[0] > 0))
        return std::nullopt;
    return ChannelFit{(*fit)[0], (*fit)[1], (*fit)[2]};
}

std::optional<SoftBurst> BurstDecoder::Read(const SignalView& signal, const BurstCandidate& candidate,
                                            double t0) const
{
    const std::optional<ChannelFit> fit = FitChannel(signal, candidate, t0);
    if (!fit)
        return std::nullopt;
    SoftBurst burst;
    burst.T0 = t0;
    burst.Fit = *fit;
    burst.Prior = StartingTable(std::clamp(fit->H1 / fit->H0, 0.0, 0.4));
    const std::vector<int>& pattern = PreambleLevels(candidate.Variant);
    burst.BeforeLast = candidate.Sign * pattern[PatternLevels - 2];
    burst.Last = candidate.Sign * pattern[PatternLevels - 1];
    // Levels -1 .. count-1, those not read yet.
    auto soften = [&](int count) {
        const auto done = static_cast<int>(burst.Soft.size());
        burst.Soft.resize(static_cast<size_t>(count) + 1);
        for (int k = done - 1; k < count; ++k)
            burst.Soft[static_cast<size_t>(k + 1)] = (signal.At(t0 + k * T) - fit->Dc) / fit->H0;
    };
    // The reads fall at the same place between samples, or spread evenly.
    burst.NoisePower = 0;
    for (int k = 0; k < 16; ++k)
        burst.NoisePower += signal.NoisePowerAt(t0 + k * T) / 16;

    // How far to read: the message type tells the longest frame it can be.
    // A head that gives no known type may be a frame whose first levels
    // were misread, which the later passes can mend: it is read as the
    // longest frame of any type, and the frame check judges it.
    constexpr int HeadLevels = 48;
    soften(HeadLevels);
    const std::vector<int> head = DecideLevels(burst, HeadLevels, burst.Prior);
    burst.Type = MessageType(head, burst.Last);
    const bool known = burst.Type >= 0 && MessageLengths[static_cast<size_t>(burst.Type)].MaxBits > 0;
    const MessageLength& length = known ? MessageLengths[static_cast<size_t>(burst.Type)] : LongestMessage();
    burst.Extent = length.MaxBits > 424
                       ? MaxLevels
                       : static_cast<int>(1.2 * (((length.MaxBits + 7) / 8) * 8 + 16 + 16)) + 24;
    // The longest frame's payload and FCS, with room for stuffing and most
    // of the closing flag.
    burst.Span = std::min(burst.Extent, static_cast<int>(1.03 * (((length.MaxBits + 7) / 8) * 8 + 16)) + 10);
    burst.LimitOctets = (length.MaxBits + 7) / 8 + 2;
    soften(burst.Extent);
    return burst;
}

std::vector<int> BurstDecoder::DecideLevels(const SoftBurst& burst, int count, const LevelTable& expected)
{
    // The soft values are indexed from r[-1]: Soft[k] is r[k - 1], which
    // the window (a[k-2], a[k-1], a[k]) explains. State: (a[k-1], a[k]) as
    // 2 * bit(a[k-1]) + bit(a[k]); state `to` is reached from (to >> 1) and
    // (to >> 1) + 2, whose windows ending in bit(a[k]) = to & 1 are
    // 2 * from + (to & 1). Of two equal paths the first predecessor wins.
    constexpr double Infinite = std::numeric_limits<double>::infinity();
    std::array<double, 4> metric;
    metric.fill(Infinite);
    metric[static_cast<size_t>(2 * Bit(burst.BeforeLast) + Bit(burst.Last))] = 0;
    // Bit `to` of choice[k] set: state `to` came from its second predecessor.
    std::vector<uint8_t> choice(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        const double observed = burst.Soft[static_cast<size_t>(k)];
        std::array<double, 8> cost;
        for (size_t w = 0; w < 8; ++w) {
            const double error = observed - expected[w];
            cost[w] = error * error;
        }
        std::array<double, 4> next;
        unsigned chosen = 0;
        for (size_t to = 0; to < 4; ++to) {
            const size_t first = to >> 1;
            const size_t second = first + 2;
            const double viaFirst = metric[first] + cost[2 * first + (to & 1)];
            const double viaSecond = metric[second] + cost[2 * second + (to & 1)];
            const bool takeSecond = viaSecond < viaFirst;
            next[to] = takeSecond ? viaSecond : viaFirst;
            chosen |= (takeSecond ? 1U : 0U) << to;
        }
        choice[static_cast<size_t>(k)] = static_cast<uint8_t>(chosen);
        metric = next;
    }
    auto state = static_cast<size_t>(std::min_element(metric.begin(), metric.end()) - metric.begin());
    std::vector<int> levels(static_cast<size_t>(count));
    for (int k = count - 1; k >= 0; --k) {
        levels[static_cast<size_t>(k)] = (state & 1) != 0 ? 1 : -1;
        state = (state >> 1) + (((choice[static_cast<size_t>(k)] >> state) & 1U) != 0 ? 2 : 0);
    }
    return levels;
}

int BurstDecoder::FrameSpan(const SoftBurst& burst, const std::vector<int>& levels)
{
    HdlcReceiver hdlc(HdlcReceiver::Framing::Bitwise, burst.LimitOctets);
    const int used = Deframe(hdlc, levels, burst.Last);
    return used > 0 ? used : burst.Span;
}

LevelTable BurstDecoder::MeasureTable(const SoftBurst& burst, const std::vector<int>& levels, int span,
                                      const LevelTable& prior)
{
    std::array<double, 8> sum{};
    std::array<int, 8> count{};
    for (int k = 0; k < span; ++k) {
        const auto w = static_cast<size_t>(WindowAt(burst, levels, k));
        sum[w] += burst.Soft[static_cast<size_t>(k + 1)];
        ++count[w];
    }
    LevelTable measured{};
    for (size_t w = 0; w < 8; ++w)
        measured[w] = (sum[w] + 4 * prior[w]) / (count[w] + 4);
    return measured;
}

bool BurstDecoder::CheckFrame(const SoftBurst& burst, const std::vector<int>& levels, BurstResult& result) const
{
    HdlcReceiver hdlc(HdlcReceiver::Framing::Bitwise, burst.LimitOctets);
    const int used = Deframe(hdlc, levels, burst.Last);
    const std::span<const uint8_t> frame = hdlc.Octets();
    if (used == 0 || !hdlc.WholeOctets() || frame.size() < 3)
        return false;
    const int payload = static_cast<int>(frame.size()) - 2;
    // The frame's own type: the decisions may have mended its first octet.
    if (!ValidPayloadLength(frame[0] >> 2, payload))
        return false;
    result.FrameChecked = true;
    ++result.FcsEvaluations;
    if (ComputeFcs(frame) != FcsGood)
        return false;
    result.Valid = true;
    result.Frame.assign(frame.begin(), frame.end());
    result.EndTime = burst.T0 + (used - 1) * T;
    MeasureSignal(burst, levels, used, result);
    return true;
}

void BurstDecoder::MeasureSignal(const SoftBurst& burst, const std::vector<int>& levels, int levelCount,
                                 BurstResult& result)
{
    std::array<double, 8> sum{};
    std::array<double, 8> squares{};
    std::array<int, 8> count{};
    for (int k = 0; k < levelCount; ++k) {
        const auto w = static_cast<size_t>(WindowAt(burst, levels, k));
        const double r = burst.Soft[static_cast<size_t>(k + 1)];
        sum[w] += r;
        squares[w] += r * r;
        ++count[w];
    }
    // Full deviation: a level between two of its own sign, either way up;
    // the fit's own sum of the pulse where the frame has none.
    constexpr size_t AllLow = 0;
    constexpr size_t AllHigh = 7;
    double amplitude = 1 + 2 * burst.Fit.H1 / burst.Fit.H0;
    if (count[AllLow] > 0 && count[AllHigh] > 0)
        amplitude = (sum[AllHigh] / count[AllHigh] - sum[AllLow] / count[AllLow]) / 2;
    double scatter = 0;
    int used = 0;
    int windows = 0;
    for (size_t w = 0; w < 8; ++w) {
        if (count[w] == 0)
            continue;
        scatter += squares[w] - sum[w] * sum[w] / count[w];
        used += count[w];
        ++windows;
    }
    const double variance = used > windows ? scatter / (used - windows) : 0.0;
    result.Amplitude = amplitude * burst.Fit.H0;
    result.NoiseRms = std::sqrt(std::max(variance, 0.0) / burst.NoisePower) * burst.Fit.H0;
}

bool BurstDecoder::RepairSearch(const SoftBurst& burst, const std::vector<int>& levels, const LevelTable& table,
                                BurstResult& result) const
{
    auto squaredError = [&](const std::vector<int>& a, int k) {
        const double e = burst.Soft[static_cast<size_t>(k + 1)] - table[static_cast<size_t>(WindowAt(burst, a, k))];
        return e * e;
    };
    // The frame's scatter about the table, each level's share capped so
    // that a click does not decide it; a noisy frame earns no repair.
    const int extent = static_cast<int>(levels.size());
    const int span = FrameSpan(burst, levels);
    double residual = 0;
    for (int k = 0; k < span; ++k)
        residual += std::min(squaredError(levels, k), 4.0);
    residual /= span;
    if (residual > 0.45)
        return false;
    std::vector<std::pair<double, int>> costs;
    for (int k = 0; k < span; ++k) {
        std::vector<int> flipped = levels;
        flipped[static_cast<size_t>(k)] = -flipped[static_cast<size_t>(k)];
        double rise = 0;
        for (int j = std::max(0, k - 1); j <= std::min(extent - 1, k + 1); ++j)
            rise += squaredError(flipped, j) - squaredError(levels, j);
        costs.emplace_back(rise, k);
    }
    std::sort(costs.begin(), costs.end());
    costs.resize(std::min<size_t>(costs.size(), 10));
    std::vector<std::pair<double, std::vector<int>>> tries;
    for (size_t i = 0; i < costs.size(); ++i) {
        tries.push_back({costs[i].first, {costs[i].second}});
        for (size_t j = i + 1; j < costs.size(); ++j)
            tries.push_back({costs[i].first + costs[j].first, {costs[i].second, costs[j].second}});
    }
    std::stable_sort(tries.begin(), tries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const double budget = 16 * std::max(residual, 0.05);
    for (const auto& [cost, flips] : tries) {
        if (cost > budget)
            break;
        std::vector<int> flipped = levels;
        for (int k : flips)
            flipped[static_cast<size_t>(k)] = -flipped[static_cast<size_t>(k)];
        if (CheckFrame(burst, flipped, result))
            return true;
    }
    return false;
}

BurstDecoder::Passes BurstDecoder::TryTiming(const SignalView& signal, const BurstCandidate& candidate,
                                             double timing, BurstResult& result) const
{
    Passes passes;
    passes.Burst = Read(signal, candidate, candidate.T0 + timing * T);
    if (!passes.Burst)
        return passes;
    const SoftBurst& burst = *passes.Burst;
    passes.Levels = DecideLevels(burst, burst.Extent, burst.Prior);
    if (CheckFrame(burst, passes.Levels, result))
        return passes;
    // Measured over the frame only: after it the carrier has gone, and the
    // receiver's noise there says nothing about the frame's levels.
    passes.Table = MeasureTable(burst, passes.Levels, FrameSpan(burst, passes.Levels), burst.Prior);
    passes.Levels = DecideLevels(burst, burst.Extent, passes.Table);
    CheckFrame(burst, passes.Levels, result);
    return passes;
}

BurstResult BurstDecoder::Decode(const SignalView& first, const SignalView& second,
                                 const BurstCandidate& candidate, bool repair) const
{
    BurstResult result;
    for (const SignalView* signal : {&first, &second}) {
        Passes found = TryTiming(*signal, candidate, 0.0, result);
        for (double timing : {-0.15, 0.15}) {
            if (result.Valid)
                break;
            TryTiming(*signal, candidate, timing, result);
        }
        // Only a clear preamble earns the repair search, on the found
        // timing's decisions with the measured table.
        if (!result.Valid && repair && candidate.Rho >= 0.9 && found.Burst)
            RepairSearch(*found.Burst, found.Levels, found.Table, result);
        if (result.Valid)
            return result;
    }
    return result;
}

}  // namespace kelvane
