// Decoding under noise: the three demodulators side by side on generated
// transmissions of real messages, at rising noise, and on pure noise for
// false messages.
//   sweep_bench [MESSAGES_PER_STEP] [NOISE_SECONDS]
#include "BenchSeams.h"
#include "BrinecoreLibrary.h"
#include "MessageBoxes.h"
#include "ReceiveChain.h"
#include "ReceiveCounters.h"
#include "ReceiverView.h"
#include "SentenceEncoder.h"

#include "AisPayload.h"
#include "ChainRig.h"
#include "SignalGenerator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>

namespace {

using namespace kelvane;

using bench::NullView;
using bench::PrintedMessages;

class Collect : public SentenceSink {
public:
    void Deliver(std::string_view block) override { Blocks.emplace(block); }
    std::multiset<std::string> Blocks;
};

struct Outcome {
    std::multiset<std::string> Blocks;
    int64_t FrameChecks = 0;
    double Seconds = 0;
};

Outcome Decode(const std::vector<uint8_t>& samples, int rate, Demodulator which)
{
    NullView view;
    PrintedMessages messages;
    Collect sink;
    ReceiveCounters counters(view);
    SentenceEncoder encoder(counters, sink);
    static BrinecoreLibrary library;
    ReceiveChain chain(counters, view, encoder, messages, library);
    const auto start = std::chrono::steady_clock::now();
    chain.Start(rate, which);
    test::MemorySource source(samples, chain.Format(), 8192);
    FeedBlocks(source, chain);
    Outcome outcome;
    outcome.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.Blocks = sink.Blocks;
    outcome.FrameChecks = chain.FrameChecks();
    return outcome;
}

}  // namespace

int main(int argc, char** argv)
{
    const int perStep = argc > 1 ? std::atoi(argv[1]) : 100;
    const double noiseSeconds = argc > 2 ? std::atof(argv[2]) : 60;
    const Demodulator all[] = {Demodulator::Library, Demodulator::Builtin, Demodulator::Burst};
    const char* names[] = {"library", "built-in", "burst"};
    std::mt19937 random(7);

    std::printf("noise rms  library  built-in  burst   (of %d position reports each, amplitude 100)\n", perStep);
    std::map<int, int> totals;
    for (int noise = 10; noise <= 60; noise += 5) {
        test::RenderOptions render;
        render.noiseRms = noise;
        render.seed = static_cast<uint32_t>(noise);
        test::SignalGenerator gen(render);
        for (int i = 0; i < perStep; ++i) {
            std::vector<uint8_t> bits(168);
            for (size_t b = 0; b < bits.size(); ++b)
                bits[b] = static_cast<uint8_t>(b < 6 ? (1 >> (5 - b)) & 1 : random() & 1);
            gen.AddSilence(0.05);
            gen.AddTransmission(test::PackBits(bits), {.trainingStartsWithOne = (i & 1) != 0});
        }
        gen.AddSilence(0.05);
        const std::vector<uint8_t> samples = gen.Render();
        std::printf("%9d", noise);
        for (int d = 0; d < 3; ++d) {
            const Outcome o = Decode(samples, 48000, all[d]);
            totals[d] += static_cast<int>(o.Blocks.size());
            std::printf("  %7zu", o.Blocks.size());
        }
        std::printf("\n");
    }
    std::printf("total    ");
    for (int d = 0; d < 3; ++d)
        std::printf("  %7d", totals[d]);
    std::printf("\n\n");

    // Open-squelch receiver noise and white noise: no message may come out.
    for (const char* kind : {"receiver noise", "white noise"}) {
        std::vector<uint8_t> samples(static_cast<size_t>(noiseSeconds * 48000));
        std::normal_distribution<double> gauss(127.5, kind[0] == 'r' ? 40.0 : 70.0);
        std::uniform_int_distribution<int> uniform(0, 255);
        double smooth = 127.5;
        for (uint8_t& s : samples) {
            if (kind[0] == 'r') {
                // A discriminator without a carrier: loud, low-passed noise.
                smooth += 0.5 * (gauss(random) - smooth);
                s = static_cast<uint8_t>(std::clamp(std::lround(smooth), 0L, 255L));
            } else {
                s = static_cast<uint8_t>(uniform(random));
            }
        }
        std::printf("%.0f s of %s:", noiseSeconds, kind);
        for (int d = 0; d < 3; ++d) {
            const Outcome o = Decode(samples, 48000, all[d]);
            std::printf("  %s %zu false", names[d], o.Blocks.size());
            if (all[d] == Demodulator::Burst)
                std::printf(" (%.1f frame checks a minute)", static_cast<double>(o.FrameChecks) * 60 / noiseSeconds);
        }
        std::printf("\n");
    }
    return 0;
}
