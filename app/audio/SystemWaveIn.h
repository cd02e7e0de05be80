// The platform's wave-in layer, for the front ends: the system's own wave-in
// functions on Windows, PortAudio elsewhere.
#pragma once

#ifdef _WIN32
#include "audio/WinMmWaveIn.h"
namespace kelvane {
using SystemWaveIn = WinMmWaveIn;
}
#else
#include "audio/WaveIn.h"
namespace kelvane {
using SystemWaveIn = PortAudioWaveIn;
}
#endif
