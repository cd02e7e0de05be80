// Whole receive chain throughput, samples to sentences, on the three paths:
// the Brinecore library (loaded by name, as the program does), the built-in
// demodulator and the burst demodulator.
#include "BenchSeams.h"
#include "BrinecoreLibrary.h"
#include "MessageBoxes.h"
#include "ReceiveChain.h"
#include "ReceiveCounters.h"
#include "ReceiverView.h"
#include "SentenceEncoder.h"
#include "TrafficGenerator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace {

using kelvane::bench::NullView;
using kelvane::bench::PrintedMessages;

class ByteCounter : public kelvane::SentenceSink {
public:
    void Deliver(std::string_view block) override { Bytes += block.size(); }
    size_t Bytes = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 600.0;
    const int rate = 48000;
    std::printf("generating %.0f s of traffic at %d Hz...\n", seconds, rate);
    const kelvane::bench::Traffic traffic = kelvane::bench::GenerateTraffic(seconds, rate);
    const std::span<const uint8_t> samples(traffic.samples);
    const double audioSeconds = static_cast<double>(samples.size()) / rate;

    kelvane::BrinecoreLibrary library;
    for (const kelvane::Demodulator which :
         {kelvane::Demodulator::Library, kelvane::Demodulator::Builtin, kelvane::Demodulator::Burst}) {
        double best = 1e30;
        int valid = 0;
        for (int pass = 0; pass < 3; ++pass) {
            NullView view;
            PrintedMessages messages;
            ByteCounter sink;
            kelvane::ReceiveCounters counters(view);
            kelvane::SentenceEncoder encoder(counters, sink);
            kelvane::ReceiveChain chain(counters, view, encoder, messages, library);
            const auto start = std::chrono::steady_clock::now();
            chain.Start(rate, which);
            for (size_t pos = 0; pos < samples.size(); pos += 8192)
                chain.ProcessBlock(samples.subspan(pos, std::min<size_t>(8192, samples.size() - pos)));
            chain.Finish();
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            best = std::min(best, elapsed.count());
            valid = counters.ValidCount;
        }
        std::printf("%-9s path: %.3f s for %.0f s of audio, %.0f x real time at %d Hz, "
                    "%d of %d messages\n",
                    which == kelvane::Demodulator::Library   ? "library"
                    : which == kelvane::Demodulator::Builtin ? "built-in"
                                                             : "burst",
                    best, audioSeconds, audioSeconds / best,
                    rate, valid, traffic.messages);
    }
    return 0;
}
