// Decoding under noise: the three demodulators side by side on generated
// transmissions of real messages, at rising white noise, then on a harder
// air (a narrow receiver, noise rising with frequency as a discriminator
// gives it, each transmitter's carrier off frequency), and on pure noise
// for false messages.
//   sweep_bench [MESSAGES_PER_STEP] [NOISE_SECONDS]
#include "station/Station.h"

#include "support/AisPayload.h"
#include "support/ChainRig.h"
#include "support/SignalGenerator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>

namespace {

using namespace kelvane;

// Collects the messages; a message to the user (a missing library, say) is
// printed: a benchmark must not hide it.
class Collect : public StationEvents {
public:
    void Show(const std::string& text, MessageIcon, const std::string&) override
    {
        std::printf("message: %s\n", text.c_str());
    }
    void MessageDecoded(const DecodedMessage& message) override { Blocks.emplace(message.Sentences); }
    std::multiset<std::string> Blocks;
};

struct Outcome {
    std::multiset<std::string> Blocks;
    int64_t FrameChecks = 0;
    double Seconds = 0;
};

Outcome Decode(const std::vector<uint8_t>& samples, int rate, Demodulator which)
{
    Collect sink;
    Station station(sink);
    const auto start = std::chrono::steady_clock::now();
    station.Start({rate, 1, 8}, {.Demod = which});
    test::MemorySource source(samples, station.Format(), 8192);
    station.Feed(source);
    Outcome outcome;
    outcome.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.Blocks = sink.Blocks;
    outcome.FrameChecks = station.FrameChecks();
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

    // Position reports at one noise setting each, 50 ms apart.
    auto sweep = [&](const char* title, std::mt19937& messages, int from, int to, int step, auto setting) {
        std::printf("%s\n", title);
        std::map<int, int> totals;
        for (int noise = from; noise <= to; noise += step) {
            test::RenderOptions render;
            render.seed = static_cast<uint32_t>(noise);
            test::TransmissionOptions tx;
            setting(noise, render, tx);
            test::SignalGenerator gen(render);
            for (int i = 0; i < perStep; ++i) {
                std::vector<uint8_t> bits(168);
                for (size_t b = 0; b < bits.size(); ++b)
                    bits[b] = static_cast<uint8_t>(b < 6 ? (1 >> (5 - b)) & 1 : messages() & 1);
                gen.AddSilence(0.05);
                tx.trainingStartsWithOne = (i & 1) != 0;
                tx.carrierOffset = -tx.carrierOffset;
                gen.AddTransmission(test::PackBits(bits), tx);
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
    };
    char title[160];
    std::snprintf(title, sizeof title,
                  "noise rms  library  built-in  burst   (of %d position reports each, amplitude 100)", perStep);
    sweep(title, random, 10, 60, 5, [](int noise, test::RenderOptions& render, test::TransmissionOptions&) {
        render.noiseRms = noise;
    });
    std::snprintf(title, sizeof title,
                  "rising    library  built-in  burst   (of %d, amplitude 20, receiver BT 0.35, "
                  "carriers +-0.2 off)",
                  perStep);
    // Its own messages, so that the noise below stays the same.
    std::mt19937 harder(8);
    sweep(title, harder, 30, 50, 4, [](int noise, test::RenderOptions& render, test::TransmissionOptions& tx) {
        render.amplitude = 20;
        render.receiverBt = 0.35;
        render.risingNoiseRms = noise;
        tx.carrierOffset = 0.2;
    });

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
