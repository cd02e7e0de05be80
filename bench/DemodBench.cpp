// Throughput of the Brinecore library on generated traffic, through its
// exported C interface in the program's block size.
//   demod_bench [SECONDS [PASSES]]   600 s of traffic, best of 3 passes
// More passes give a profiler more of the demodulator than of the generator.
// The processor time is shown too: on a busy machine it varies less than the
// elapsed time.
#include "Brinecore.h"
#include "TrafficGenerator.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 600.0;
    const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const int rate = 48000;
    std::printf("generating %.0f s of traffic at %d Hz...\n", seconds, rate);
    const kelvane::bench::Traffic traffic = kelvane::bench::GenerateTraffic(seconds, rate);
    const auto total = static_cast<int64_t>(traffic.samples.size());

    std::array<uint8_t, BRINECORE_OUTPUT_CAPACITY> out{};
    double best = 1e30;
    double bestProcessor = 1e30;
    int frames = 0;
    for (int pass = 0; pass < passes; ++pass) {
        ReInit(0);
        frames = 0;
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t processorStart = std::clock();
        for (int64_t pos = 0; pos < total; pos += 8192) {
            const auto n = static_cast<int32_t>(std::min<int64_t>(8192, total - pos));
            int32_t peak = 0;
            const int32_t r = AudioToBytes(traffic.samples.data() + pos, n, out.data(), rate, 9600,
                                           &peak, 0);
            for (int32_t p = 0; p + 2 <= r; p += 2 + (out[static_cast<size_t>(p)] |
                                                      out[static_cast<size_t>(p) + 1] << 8))
                ++frames;
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
        bestProcessor = std::min(bestProcessor, static_cast<double>(std::clock() - processorStart) /
                                                    CLOCKS_PER_SEC);
    }
    const double audioSeconds = static_cast<double>(total) / rate;
    std::printf("Brinecore AudioToBytes, %lld samples (%.0f s of audio), best of %d:\n",
                static_cast<long long>(total), audioSeconds, passes);
    std::printf("  %.3f s, %.0f samples per second, %.0f x real time at %d Hz\n", best,
                static_cast<double>(total) / best, audioSeconds / best, rate);
    std::printf("  %.3f s of processor time, %.0f x real time\n", bestProcessor,
                audioSeconds / bestProcessor);
    std::printf("  %d frames from %d transmissions\n", frames, traffic.messages);
    return 0;
}
