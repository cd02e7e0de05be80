// Minutes of generated AIS traffic for the throughput benchmarks.
#pragma once

#include <cstdint>
#include <vector>

namespace kelvane::bench {

struct Traffic {
    std::vector<uint8_t> samples;
    int sampleRate = 0;
    int messages = 0;
};

// Random messages of the common types, at lengths valid for their type,
// with gaps of 5 to 100 ms of receiver noise between them, as a busy
// channel sounds.
Traffic GenerateTraffic(double seconds, int sampleRate, uint32_t seed = 1);

}  // namespace kelvane::bench
