#include "support/SignalGenerator.h"

#include "audio/WavReader.h"
#include "audio/WavWriter.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <random>
#include <stdexcept>

namespace kelvane::test {

uint16_t FcsToSend(std::span<const uint8_t> octets)
{
    uint16_t crc = 0xFFFF;
    for (uint8_t octet : octets) {
        for (int bit = 0; bit < 8; ++bit) {
            const bool feedback = ((crc ^ (octet >> bit)) & 1U) != 0;
            crc = static_cast<uint16_t>(crc >> 1);
            if (feedback)
                crc ^= 0x8408;
        }
    }
    return static_cast<uint16_t>(~crc);
}

std::vector<uint8_t> WithFcs(std::span<const uint8_t> octets)
{
    std::vector<uint8_t> frame(octets.begin(), octets.end());
    const uint16_t fcs = FcsToSend(octets);
    frame.push_back(static_cast<uint8_t>(fcs & 0xFF));
    frame.push_back(static_cast<uint8_t>(fcs >> 8));
    return frame;
}

std::vector<uint8_t> PackBits(std::span<const uint8_t> bits)
{
    std::vector<uint8_t> octets((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i] != 0)
            octets[i / 8] = static_cast<uint8_t>(octets[i / 8] | (0x80U >> (i % 8)));
    return octets;
}

std::vector<uint8_t> TransmissionBits(std::span<const uint8_t> octets,
                                      const TransmissionOptions& options)
{
    std::vector<uint8_t> bits;
    bits.insert(bits.end(), static_cast<size_t>(options.rampBits), 1);
    for (int i = 0; i < options.trainingBits; ++i)
        bits.push_back(static_cast<uint8_t>((i + (options.trainingStartsWithOne ? 1 : 0)) % 2));
    const uint8_t flag[8] = {0, 1, 1, 1, 1, 1, 1, 0};
    for (int i = 0; i < 8; ++i)
        bits.push_back(static_cast<uint8_t>(flag[i] ^ ((options.startFlagFlips >> i) & 1U)));

    std::vector<uint8_t> frame(octets.begin(), octets.end());
    if (options.appendFcs)
        frame = WithFcs(octets);
    if (options.corruptFcs && !frame.empty())
        frame.back() ^= 0x80;
    int ones = 0;
    for (uint8_t octet : frame) {
        for (int i = 0; i < 8; ++i) {  // least significant bit first
            const uint8_t bit = (octet >> i) & 1U;
            bits.push_back(bit);
            ones = bit != 0 ? ones + 1 : 0;
            if (options.stuffing && ones == 5) {
                bits.push_back(0);
                ones = 0;
            }
        }
    }
    bits.insert(bits.end(), std::begin(flag), std::end(flag));
    bits.insert(bits.end(), static_cast<size_t>(options.trailerBits), 0);
    return bits;
}

SignalGenerator::SignalGenerator(const RenderOptions& options) : Options(options) {}

void SignalGenerator::StepTo(double time, double level)
{
    if (level != CurrentLevel) {
        Steps.push_back({time, level - CurrentLevel});
        CurrentLevel = level;
    }
}

void SignalGenerator::AddSilence(double seconds)
{
    StepTo(Cursor, 0);
    Cursor += seconds;
}

void SignalGenerator::AddTransmission(std::span<const uint8_t> octets,
                                      const TransmissionOptions& options)
{
    const std::vector<uint8_t> bits = TransmissionBits(octets, options);
    const auto dataStart = static_cast<size_t>(options.rampBits + options.trainingBits + 8);
    AddBits(bits, options.startsLow, dataStart, options.dataOffset, options.carrierOffset);
}

void SignalGenerator::AddBits(std::span<const uint8_t> bits, bool startsLow, size_t offsetFrom,
                              double offset, double carrierOffset)
{
    // NRZI: a 0 is a change of level, a 1 keeps it.
    const double period = 1.0 / Options.bitRate;
    double level = startsLow ? -1 : 1;
    for (size_t k = 0; k < bits.size(); ++k) {
        if (bits[k] == 0)
            level = -level;
        StepTo(Cursor + static_cast<double>(k) * period,
               level + carrierOffset + (offsetFrom > 0 && k >= offsetFrom ? offset : 0.0));
    }
    Cursor += static_cast<double>(bits.size()) * period;
    StepTo(Cursor, 0);
}

std::vector<uint8_t> SignalGenerator::Render() const
{
    std::vector<uint8_t> samples(SampleCount());
    RenderEach([&](size_t n, double value) {
        samples[n] = static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
    });
    return samples;
}

std::vector<int16_t> SignalGenerator::RenderWide() const
{
    std::vector<int16_t> samples(SampleCount());
    RenderEach([&](size_t n, double value) {
        samples[n] = static_cast<int16_t>(std::clamp(std::lround((value - 128) * 256), -32768L, 32767L));
    });
    return samples;
}

size_t SignalGenerator::SampleCount() const
{
    return static_cast<size_t>(std::ceil(Cursor * Options.sampleRate));
}

void SignalGenerator::RenderEach(const std::function<void(size_t, double)>& store) const
{
    const double rate = Options.sampleRate;
    const size_t count = SampleCount();
    // A Gaussian filter on the frequency levels: each step of the level is
    // smeared into a normal CDF of width sigma (GMSK with the given BT, and
    // the receiver's own Gaussian low-pass: their widths add in squares).
    auto width = [&](double bt) { return std::sqrt(std::log(2.0)) / (2.0 * std::numbers::pi * bt * Options.bitRate); };
    const double transmitter = Options.gmsk ? width(Options.bt) : 0.0;
    const double receiver = Options.receiverBt > 0 ? width(Options.receiverBt) : 0.0;
    const double sigma = receiver > 0 ? std::hypot(transmitter, receiver) : transmitter;
    std::mt19937 random(Options.seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    double previousWhite = 0;
    const double sign = Options.invert ? -1.0 : 1.0;
    // Square levels: a step that falls on a sample's time, give or take the
    // rounding of the times, is taken as done, so that bit boundaries at
    // whole samples stay whole.
    const double tie = 1e-6 / rate;
    const double reach = std::max(5.0 * sigma, tie);

    double settled = 0;  // sum of the steps wholly in the past
    size_t first = 0;    // first step not yet settled
    for (size_t n = 0; n < count; ++n) {
        const double t = static_cast<double>(n) / rate;
        while (first < Steps.size() && Steps[first].time < t - reach)
            settled += Steps[first++].delta;
        double level = settled;
        for (size_t j = first; j < Steps.size() && Steps[j].time <= t + reach; ++j) {
            if (sigma == 0)
                level += Steps[j].time <= t + tie ? Steps[j].delta : 0.0;
            else
                level += Steps[j].delta * 0.5 *
                         std::erfc(-(t - Steps[j].time) / (sigma * std::sqrt(2.0)));
        }
        const double bent = level < 0 ? level * Options.negativeGain : level;
        double value = 127.5 + Options.dcOffset + sign * Options.amplitude * bent;
        if (Options.noiseRms > 0)
            value += Options.noiseRms * noise(random);
        if (Options.risingNoiseRms > 0) {
            const double white = noise(random);
            value += Options.risingNoiseRms * (white - previousWhite) / std::sqrt(2.0);
            previousWhite = white;
        }
        store(n, value);
    }
}

void WriteWav(const std::string& path, std::span<const uint8_t> samples, int sampleRate)
{
    WriteWav(path, samples, AudioFormat{sampleRate, 1, 8});
}

void WriteWav(const std::string& path, std::span<const uint8_t> bytes, const AudioFormat& format)
{
    WavWriter writer;
    std::string problem = writer.Open(path, format);
    if (problem.empty()) {
        writer.Write(bytes);
        problem = writer.Close();
    }
    if (!problem.empty())
        throw std::runtime_error(problem);
}

std::vector<uint8_t> ReadWav(const std::string& path, int* sampleRate, AudioFormat* format)
{
    WavReader reader;
    reader.AcceptWideAndStereo = format != nullptr;
    const std::string problem = reader.Open(path);
    if (!problem.empty())
        throw std::runtime_error(path + " - " + problem);
    std::vector<uint8_t> samples;
    std::vector<uint8_t> block(static_cast<size_t>(reader.BlockBytes()));
    int32_t n = 0;
    while ((n = reader.Read(block.data())) > 0)
        samples.insert(samples.end(), block.begin(), block.begin() + n);
    if (n < 0)
        throw std::runtime_error(path + " - " + reader.ReadError());
    if (sampleRate != nullptr)
        *sampleRate = reader.SampleRate();
    if (format != nullptr)
        *format = reader.Format();
    return samples;
}

std::vector<uint8_t> Interleave(std::span<const uint8_t> left, std::span<const uint8_t> right)
{
    std::vector<uint8_t> both(2 * std::max(left.size(), right.size()), 128);
    for (size_t i = 0; i < left.size(); ++i)
        both[2 * i] = left[i];
    for (size_t i = 0; i < right.size(); ++i)
        both[2 * i + 1] = right[i];
    return both;
}

std::vector<uint8_t> LittleEndian(std::span<const int16_t> samples)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(2 * samples.size());
    for (const int16_t s : samples) {
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) & 0xFF));
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
    }
    return bytes;
}

}  // namespace kelvane::test
