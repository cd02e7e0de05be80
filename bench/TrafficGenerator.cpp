#include "TrafficGenerator.h"

#include "SignalGenerator.h"

#include <random>

namespace kelvane::bench {

Traffic GenerateTraffic(double seconds, int sampleRate, uint32_t seed)
{
    test::RenderOptions render;
    render.sampleRate = sampleRate;
    render.noiseRms = 3;
    render.seed = seed;
    test::SignalGenerator gen(render);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> length(2, 60);
    std::uniform_real_distribution<double> gap(0.005, 0.1);
    Traffic traffic;
    traffic.sampleRate = sampleRate;
    while (gen.Duration() < seconds) {
        gen.AddSilence(gap(random));
        std::vector<uint8_t> octets(static_cast<size_t>(length(random)));
        for (uint8_t& b : octets)
            b = static_cast<uint8_t>(random());
        gen.AddTransmission(octets, {.trainingStartsWithOne = (random() & 1) != 0});
        ++traffic.messages;
    }
    gen.AddSilence(0.1);
    traffic.samples = gen.Render();
    return traffic;
}

}  // namespace kelvane::bench
