// Test signal generator: known message octets in, 8-bit discriminator audio
// of complete AIS transmissions out (ITU-R M.1371 framing: ramp, training
// sequence, HDLC flags, FCS-16, bit stuffing, NRZI, GMSK-shaped levels).
#pragma once

#include "core/AudioFormat.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace kelvane::test {

// The FCS a sender appends, computed bit by bit (independently of the
// program's table): the complemented CRC-16/X-25, sent low octet first.
uint16_t FcsToSend(std::span<const uint8_t> octets);

// Octets followed by their FCS, low octet first: the frame as a receiver
// assembles it between the flags.
std::vector<uint8_t> WithFcs(std::span<const uint8_t> octets);

// Message bits (one 0/1 per element, first bit first) packed into octets,
// each octet's first bit most significant, the last octet zero-padded.
std::vector<uint8_t> PackBits(std::span<const uint8_t> bits);

struct TransmissionOptions {
    int rampBits = 8;            // steady carrier before the training sequence
    int trainingBits = 24;       // alternating 0101...
    bool trainingStartsWithOne = false;  // "...10" before the flag instead of "...01"
    uint8_t startFlagFlips = 0;  // bit i set: start-flag bit i (sent i-th) inverted
    bool stuffing = true;
    bool appendFcs = true;
    bool corruptFcs = false;     // last FCS bit inverted
    int trailerBits = 8;         // 0 bits after the closing flag (transitions)
    bool startsLow = false;      // NRZI from the low level: every level the other way
    double dataOffset = 0;       // added to the levels after the start flag (a DC step)
    double carrierOffset = 0;    // added to every level of it: the transmitter's frequency error
};

// The on-air bit sequence, before NRZI, of one transmission of the octets:
// ramp (1s), training, start flag, the octets and their FCS each sent least
// significant bit first with bit stuffing, closing flag, trailer.
std::vector<uint8_t> TransmissionBits(std::span<const uint8_t> octets,
                                      const TransmissionOptions& options = {});

struct RenderOptions {
    int sampleRate = 48000;
    double bitRate = 9600;
    bool gmsk = true;      // Gaussian-shaped levels; false gives square levels
    double bt = 0.4;
    double receiverBt = 0;   // a Gaussian audio low-pass in the receiver, 3 dB at this * bitRate (0: none)
    double amplitude = 100;  // sample units from the midline at full deviation
    double dcOffset = 0;     // added to the midline of 127.5
    double negativeGain = 1; // the gain below the midline, relative to above it
    bool invert = false;     // discriminator polarity
    double noiseRms = 0;     // Gaussian noise, sample units
    // Gaussian noise rising with frequency, as a discriminator gives it (the
    // difference of successive white samples), of this rms in sample units.
    double risingNoiseRms = 0;
    uint32_t seed = 1;
};

// Builds a stream of transmissions and gaps and renders it as samples.
class SignalGenerator {
public:
    explicit SignalGenerator(const RenderOptions& options = {});

    // Carrier off: the discriminator sits at its midline (plus noise).
    void AddSilence(double seconds);
    // One transmission of the octets (their FCS is added here).
    void AddTransmission(std::span<const uint8_t> octets, const TransmissionOptions& options = {});
    // Raw on-air bits, NRZI-encoded here from the high level (or the low
    // one), then carrier off; offset is added to the levels from bit
    // offsetFrom on, carrierOffset to all of them.
    void AddBits(std::span<const uint8_t> bits, bool startsLow = false, size_t offsetFrom = 0,
                 double offset = 0, double carrierOffset = 0);

    double Duration() const { return Cursor; }
    std::vector<uint8_t> Render() const;
    // The same audio in 16 bits: each value's top byte plus 128 is what
    // Render gives, give or take the rounding.
    std::vector<int16_t> RenderWide() const;

private:
    size_t SampleCount() const;
    void RenderEach(const std::function<void(size_t, double)>& store) const;
    struct Step {
        double time;
        double delta;
    };
    void StepTo(double time, double level);

    RenderOptions Options;
    std::vector<Step> Steps;
    double Cursor = 0;
    double CurrentLevel = 0;
};

// Writes PCM (8-bit mono, or bytes of the format) as a RIFF/WAVE file with
// the program's writer; throws when it cannot.
void WriteWav(const std::string& path, std::span<const uint8_t> samples, int sampleRate);
void WriteWav(const std::string& path, std::span<const uint8_t> bytes, const AudioFormat& format);

// Reads a WAV through the program's reader (8-bit mono only, unless the
// format is asked for); throws on error.
std::vector<uint8_t> ReadWav(const std::string& path, int* sampleRate = nullptr,
                             AudioFormat* format = nullptr);

// Two 8-bit channels as stereo frames, the shorter one padded with the
// midline.
std::vector<uint8_t> Interleave(std::span<const uint8_t> left, std::span<const uint8_t> right);
// 16-bit samples as the bytes of a WAV file.
std::vector<uint8_t> LittleEndian(std::span<const int16_t> samples);

}  // namespace kelvane::test
