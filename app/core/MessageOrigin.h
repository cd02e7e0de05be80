// Where a decoded message came from: its channel and, where the demodulator
// could tell, how strong it was (see ReceivedFrame).
#pragma once

#include "core/RadioChannel.h"

#include <limits>

namespace kelvane {

struct MessageOrigin {
    RadioChannel Channel = RadioChannel::Unknown;
    double LevelDb = std::numeric_limits<double>::quiet_NaN();
    double SnrDb = std::numeric_limits<double>::quiet_NaN();
};

}  // namespace kelvane
