// The demodulator against its reference copy, side by side on the same calls:
// every return value, output buffer, peak and trace file must be identical.
#include "DemodContext.h"
#include "ReferenceDemodContext.h"

#include "support/SignalGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace kelvane::test {
namespace {

using Bytes = std::vector<uint8_t>;

struct Rates {
    int32_t sample;
    int32_t baud = 9600;
};

// Trace files go to a folder of this test's own, under names of their own.
class Differential : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("XDG_STATE_HOME"))
            SavedStateHome = old;
        std::filesystem::remove_all(Home());
        setenv("XDG_STATE_HOME", Home().c_str(), 1);
    }
    void TearDown() override
    {
        std::filesystem::remove_all(Home());
        if (SavedStateHome)
            setenv("XDG_STATE_HOME", SavedStateHome->c_str(), 1);
        else
            unsetenv("XDG_STATE_HOME");
    }

    static std::filesystem::path Home()
    {
        return std::filesystem::temp_directory_path() /
               ("kelvane-demod-diff-" + std::to_string(getpid()));
    }
    static std::optional<std::string> FileText(const char* name)
    {
        std::ifstream file(Home() / "Kelvane" / name, std::ios::binary);
        if (!file)
            return std::nullopt;
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    void ExpectSameTraceFiles(const std::string& where)
    {
        const auto reference = FileText("diff-reference.txt");
        for (const char* name : FastNames) {
            const auto fast = FileText(name);
            EXPECT_EQ(fast.has_value(), reference.has_value()) << where << ", " << name;
            if (fast && reference) {
                EXPECT_TRUE(*fast == *reference) << where << ": trace files differ, " << name
                                                 << " has " << fast->size() << " bytes, "
                                                 << reference->size() << " expected";
            }
        }
    }

    // Feeds the samples to the demodulator, with its vector scan and without,
    // and to the reference, in random blocks, with random tracing, ReInit
    // between blocks and, at each (re)initialisation, rates drawn from those
    // given. Later calls pass other rates, which must be ignored alike.
    // Returns the number of frame blocks the calls gave.
    int Compare(const Bytes& samples, const std::vector<Rates>& rates, uint32_t seed,
                size_t maxBlock = 20000, double traceChance = 0.1, double reInitChance = 0.01)
    {
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> chance(0, 1);
        auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
        brinecore::DemodContext vector(FastNames[0]);
        brinecore::DemodContext plain(FastNames[1]);
        plain.UseVectorScan(false);
        brinecore::DemodContext* const fast[] = {&vector, &plain};
        brinecore::reference::DemodContext reference("diff-reference.txt");
        Bytes fastOut(brinecore::OutputCapacity + 32);
        Bytes referenceOut(fastOut.size());
        Rates current = rates[pick(rates.size())];
        int frames = 0;
        size_t pos = 0;
        for (int call = 0; pos < samples.size() || call < 3; ++call) {
            size_t n = 0;
            const double kind = chance(random);
            if (kind < 0.05)
                n = 0;
            else if (kind < 0.2)
                n = 1 + pick(16);
            else if (kind < 0.5)
                n = 1 + pick(1000);
            else
                n = 1 + pick(maxBlock);
            n = std::min(n, samples.size() - pos);
            const int32_t trace = chance(random) < traceChance ? 1 : (chance(random) < 0.1 ? 2 : 0);
            const Rates passed = chance(random) < 0.9 ? current : rates[pick(rates.size())];
            // Now and then a null pointer where the interface allows one.
            const bool noSamples = chance(random) < 0.01;
            const bool noOutput = chance(random) < 0.01;
            const bool noPeak = chance(random) < 0.05;
            const uint8_t* block = noSamples ? nullptr : samples.data() + pos;
            const auto count = static_cast<int32_t>(n);
            std::fill(referenceOut.begin(), referenceOut.end(), uint8_t{0xA5});
            int32_t referencePeak = -7;
            const int32_t expected = reference.AudioToBytes(
                block, count, noOutput ? nullptr : referenceOut.data(), passed.sample, passed.baud,
                noPeak ? nullptr : &referencePeak, trace);
            const std::string where = "call " + std::to_string(call) + " at sample " +
                                      std::to_string(pos) + ", " + std::to_string(n) + " samples";
            for (size_t f = 0; f < 2; ++f) {
                std::fill(fastOut.begin(), fastOut.end(), uint8_t{0xA5});
                int32_t fastPeak = -7;
                const int32_t got = fast[f]->AudioToBytes(
                    block, count, noOutput ? nullptr : fastOut.data(), passed.sample, passed.baud,
                    noPeak ? nullptr : &fastPeak, trace);
                EXPECT_EQ(got, expected) << where << ", " << FastNames[f];
                EXPECT_EQ(fastPeak, referencePeak) << where << ", " << FastNames[f];
                EXPECT_TRUE(fastOut == referenceOut)
                    << where << ", " << FastNames[f] << ": output buffers differ";
                if (got != expected || fastPeak != referencePeak || fastOut != referenceOut)
                    return frames;
            }
            for (int32_t p = 0; p + 2 <= expected;) {
                const int32_t length = referenceOut[static_cast<size_t>(p)] |
                                       referenceOut[static_cast<size_t>(p) + 1] << 8;
                if (length == 0 || referenceOut[static_cast<size_t>(p) + 2] != '*')
                    ++frames;
                p += 2 + length;
            }
            pos += n;
            if (chance(random) < reInitChance) {
                // A traced initialisation starts the files afresh: compare them first.
                ExpectSameTraceFiles(where + ", before ReInit");
                const int32_t reInit = reference.ReInit(static_cast<int32_t>(call));
                for (brinecore::DemodContext* f : fast)
                    EXPECT_EQ(f->ReInit(static_cast<int32_t>(call)), reInit);
                current = rates[pick(rates.size())];
            }
        }
        ExpectSameTraceFiles("at the end");
        return frames;
    }

    static constexpr const char* FastNames[] = {"diff-vector.txt", "diff-plain.txt"};
    std::optional<std::string> SavedStateHome;
};

const std::vector<Rates> UsualRates = {{48000}, {44100}, {50000}, {22050}};
// Odd ones, slow and fast ones, and those that give no output.
const std::vector<Rates> AnyRates = {{48000},      {44100},      {50000},       {22050},
                                     {96000},      {37111},      {12345},       {9600},
                                     {2400},       {1},          {0},           {-48000},
                                     {48000, 0},   {48000, -1},  {48000, 4800}, {48000, 12000},
                                     {250000, 7},  {2147483647}, {7, 2147483647}};

Bytes Noise(size_t count, double rms, double offset, uint32_t seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(127.5 + offset, rms);
    Bytes samples(count);
    for (uint8_t& s : samples)
        s = static_cast<uint8_t>(std::clamp(std::lround(gauss(random)), 0L, 255L));
    return samples;
}

// Bursts of pairs of runs that last about pairLength samples together,
// each burst's pairs split alike at random, between stretches of noise and
// now and then ending in a longer run, at levels near and far from the
// midline: the pairs' sums fall either side of the training sequence's
// limits, with every kind of crossing fraction, and long and short runs fall
// anywhere in a word of samples.
Bytes Runs(size_t count, double pairLength, uint32_t seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> jitter(0, pairLength * 0.03 + 0.3);
    std::uniform_real_distribution<double> split(0.15, 0.85);
    std::normal_distribution<double> noise(127.5, 3);
    Bytes samples;
    bool high = true;
    auto run = [&](double length) {
        const long n = std::max(1L, std::lround(length + jitter(random)));
        for (long i = 0; i < n; ++i) {
            const auto depth = static_cast<int>(random() % (random() % 4 == 0 ? 128 : 6));
            samples.push_back(static_cast<uint8_t>(high ? 128 + depth : 127 - depth));
        }
        high = !high;
    };
    while (samples.size() < count) {
        const double first = pairLength * split(random);
        for (auto pairs = 3 + random() % 10; pairs > 0; --pairs) {
            run(first);
            run(pairLength - first);
        }
        if (random() % 3 == 0)
            run(pairLength * 1.4);
        for (auto n = random() % 200; n > 0; --n)
            samples.push_back(static_cast<uint8_t>(std::clamp(std::lround(noise(random)), 0L, 255L)));
    }
    samples.resize(count);
    return samples;
}

// Transmissions of random length and content between gaps of noise, with a
// long quiet stretch (no crossing at all) now and then.
Bytes Traffic(int rate, uint32_t seed, int transmissions, bool gmsk = true)
{
    RenderOptions render;
    render.sampleRate = rate;
    render.noiseRms = 3;
    render.gmsk = gmsk;
    render.seed = seed;
    SignalGenerator gen(render);
    std::mt19937 random(seed);
    for (int i = 0; i < transmissions; ++i) {
        gen.AddSilence(0.002 + 0.001 * static_cast<double>(random() % 30));
        Bytes octets(1 + random() % 60);
        for (uint8_t& b : octets)
            b = static_cast<uint8_t>(random());
        gen.AddTransmission(octets, {.trainingStartsWithOne = (random() & 1) != 0});
    }
    gen.AddSilence(0.01);
    Bytes samples = gen.Render();
    const size_t quiet = samples.size() / 3;
    std::fill_n(samples.begin() + static_cast<long>(quiet), std::min<size_t>(5000, quiet), 140);
    return samples;
}

TEST_F(Differential, RandomBytes)
{
    std::mt19937 random(5);
    Bytes samples(400000);
    for (uint8_t& s : samples)
        s = static_cast<uint8_t>(random());
    Compare(samples, AnyRates, 1);
    Compare(samples, UsualRates, 2, 20, 0.5);  // small blocks, mostly traced
}

TEST_F(Differential, NoiseAroundTheMidline)
{
    uint32_t seed = 10;
    for (double rms : {0.2, 0.6, 3.0, 12.0, 70.0}) {
        for (double offset : {0.0, 0.5, -3.0}) {
            SCOPED_TRACE(testing::Message() << "rms " << rms << ", offset " << offset);
            Compare(Noise(150000, rms, offset, seed), AnyRates, seed);
            ++seed;
        }
    }
}

TEST_F(Differential, RunsAtTheTrainingLimits)
{
    // A training pair lasts four bits: 20 samples at 48000 samples per second.
    uint32_t seed = 40;
    for (const auto& [pairLength, rate] : {std::pair{20.0, 48000}, {19.0, 48000}, {21.0, 48000},
                                          {9.2, 22050}, {2.0, 9600}, {40.0, 96000},
                                          {80.0, 192000}}) {
        SCOPED_TRACE(testing::Message() << "pairs of about " << pairLength);
        Compare(Runs(200000, pairLength, seed), {{rate}}, seed, 30000, 0.5);
        Compare(Runs(100000, pairLength, seed + 100), AnyRates, seed, 30000, 0.2);
        // Block ends at every kind of place: inside a pair, after its first run.
        Compare(Runs(40000, pairLength, seed + 200), {{rate}}, seed, 80, 0.5);
        ++seed;
    }
}

TEST_F(Differential, GeneratedTraffic)
{
    for (int rate : {48000, 44100, 50000, 22050, 96000, 31250}) {
        SCOPED_TRACE(testing::Message() << "at " << rate);
        const Bytes samples = Traffic(rate, static_cast<uint32_t>(rate), 40, rate != 44100);
        EXPECT_GT(Compare(samples, {{rate}}, 1), 20) << "frames come through";
        EXPECT_GT(Compare(samples, {{rate}}, 2, 300, 0.3), 20) << "traced, small blocks";
        Compare(samples, AnyRates, 3, 40000, 0.2, 0.05);
    }
}

TEST_F(Differential, RealRecordings)
{
    for (const char* name : {"bergen-48k-u8.wav", "rtl-fm-50k-u8.wav"}) {
        SCOPED_TRACE(name);
        int rate = 0;
        const Bytes samples = ReadWav(std::string(KELVANE_TEST_AUDIO_DIR) + "/" + name, &rate);
        EXPECT_GT(Compare(samples, {{rate}}, 1, 20000, 0, 0), 0) << "frames come through";
        Compare(samples, {{rate}}, 2, 5000, 1, 0);
        Compare(samples, {{rate}, {44100}, {rate, 9601}}, 3, 2000, 0.3, 0.02);
    }
}

}  // namespace
}  // namespace kelvane::test
