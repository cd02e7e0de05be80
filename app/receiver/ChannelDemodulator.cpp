#include "receiver/ChannelDemodulator.h"

#include <algorithm>
#include <cmath>

namespace kelvane {

double PeakLevelDb(uint8_t low, uint8_t high)
{
    const double swing = std::max(high - 127.5, 127.5 - low);
    return 20 * std::log10(swing / 128);
}

}  // namespace kelvane
