#include "TrafficGenerator.h"

#include "support/SignalGenerator.h"

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
    // A mix like a busy channel's: position reports most of all, static
    // data, class B reports, base stations, binary messages of any length.
    struct Kind {
        int type;
        int minOctets;
        int maxOctets;
        int weight;
    };
    const Kind kinds[] = {{1, 21, 21, 40}, {3, 21, 21, 10}, {5, 53, 53, 8}, {18, 21, 21, 15},
                          {24, 20, 21, 8}, {4, 21, 21, 5}, {8, 7, 60, 4}, {21, 34, 45, 3},
                          {27, 12, 12, 3}, {19, 39, 39, 2}, {6, 11, 40, 2}};
    std::vector<int> weights;
    for (const Kind& k : kinds)
        weights.push_back(k.weight);
    std::discrete_distribution<size_t> pick(weights.begin(), weights.end());
    std::uniform_real_distribution<double> gap(0.005, 0.1);
    Traffic traffic;
    traffic.sampleRate = sampleRate;
    while (gen.Duration() < seconds) {
        gen.AddSilence(gap(random));
        const Kind& kind = kinds[pick(random)];
        std::uniform_int_distribution<int> length(kind.minOctets, kind.maxOctets);
        std::vector<uint8_t> octets(static_cast<size_t>(length(random)));
        for (uint8_t& b : octets)
            b = static_cast<uint8_t>(random());
        octets[0] = static_cast<uint8_t>(kind.type << 2 | (octets[0] & 3));
        gen.AddTransmission(octets, {.trainingStartsWithOne = (random() & 1) != 0});
        ++traffic.messages;
    }
    gen.AddSilence(0.1);
    traffic.samples = gen.Render();
    return traffic;
}

}  // namespace kelvane::bench
