// Whole receive chain throughput, samples to sentences, on the three paths:
// the Brinecore library (loaded by name, as the program does; in stereo an
// instance of its core per side), the built-in demodulator and the burst
// demodulator; one receiver, then two on a stereo stream.
//   chain_bench [SECONDS]
#include "TrafficGenerator.h"
#include "station/Station.h"
#include "support/ChainRig.h"
#include "support/SignalGenerator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace {

using namespace kelvane;

// Counts what reaches the outputs; a message (a missing library, say) is
// printed: a benchmark must not hide it.
class ByteCounter : public StationEvents {
public:
    void Show(const std::string& text, MessageIcon, const std::string&) override
    {
        std::printf("message: %s\n", text.c_str());
    }
    void MessageDecoded(const DecodedMessage& message) override { Bytes += message.Sentences.size(); }
    size_t Bytes = 0;
};

struct Run {
    double Seconds = 1e30;
    int Valid = 0;
};

// Best of three passes through the program's replay loop.
Run Measure(std::span<const uint8_t> bytes, const AudioFormat& format, Demodulator which)
{
    Run best;
    for (int pass = 0; pass < 3; ++pass) {
        ByteCounter events;
        Station station(events);
        const auto start = std::chrono::steady_clock::now();
        station.Start(format, {.Demod = which});
        test::MemorySource source(bytes, format, BlockFrames);
        station.Feed(source);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best.Seconds = std::min(best.Seconds, elapsed.count());
        best.Valid = station.Counters().ValidCount;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 600.0;
    const int rate = 48000;
    std::printf("generating %.0f s of traffic at %d Hz on each of two channels...\n", seconds, rate);
    const bench::Traffic left = bench::GenerateTraffic(seconds, rate, 1);
    const bench::Traffic right = bench::GenerateTraffic(seconds, rate, 2);
    const std::vector<uint8_t> stereo = test::Interleave(left.samples, right.samples);
    const double audioSeconds = static_cast<double>(left.samples.size()) / rate;

    for (const Demodulator which : {Demodulator::Library, Demodulator::Builtin, Demodulator::Burst}) {
        const char* name = which == Demodulator::Library   ? "library"
                           : which == Demodulator::Builtin ? "built-in"
                                                           : "burst";
        const Run mono = Measure(left.samples, {rate, 1, 8}, which);
        const Run other = Measure(right.samples, {rate, 1, 8}, which);
        const Run two = Measure(stereo, {rate, 2, 8}, which);
        std::printf("%-9s one channel:  %.3f s for %.0f s of audio, %.0f x real time at %d Hz, "
                    "%d of %d messages\n",
                    name, mono.Seconds, audioSeconds, audioSeconds / mono.Seconds, rate, mono.Valid,
                    left.messages);
        // The two sides carry different traffic: two channels are weighed
        // against each side decoded alone.
        std::printf("%-9s two channels: %.3f s, %.0f x real time, %d of %d messages; "
                    "%.2f times the cost of the two sides alone (%.3f s + %.3f s)\n",
                    name, two.Seconds, audioSeconds / two.Seconds, two.Valid,
                    left.messages + right.messages, two.Seconds / (mono.Seconds + other.Seconds),
                    mono.Seconds, other.Seconds);
    }
    return 0;
}
