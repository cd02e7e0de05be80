// The Brinecore demodulator library, bound by name at its first use: from the
// program's own folder first, then the library folder of the installation the
// program belongs to, then the system's search path. Once loaded it
// stays loaded until the program ends: its state and its trace file belong
// to the whole run.
#pragma once

#include "Brinecore.h"
#include "receiver/BrinecoreEngine.h"

#include <string>

namespace kelvane {

class BrinecoreLibrary : public BrinecoreEngine {
public:
    BrinecoreLibrary() = default;
    BrinecoreLibrary(const BrinecoreLibrary&) = delete;
    BrinecoreLibrary& operator=(const BrinecoreLibrary&) = delete;

    // Loads the library and finds both entries, once; later calls return the
    // first answer. On failure Problem() says what is missing, naming the file.
    bool Load();
    const std::string& Problem() const { return LoadProblem; }

    // Only after Load() returned true.
    int32_t AudioToBytes(const uint8_t* samples, int32_t sampleCount, uint8_t* outBuffer,
                         int32_t sampleRate, int32_t baudRate, int32_t* peakLevel,
                         int32_t traceFlag) override
    {
        return AudioToBytesEntry(samples, sampleCount, outBuffer, sampleRate, baudRate, peakLevel,
                                 traceFlag);
    }
    int32_t ReInit(int32_t unused) override { return ReInitEntry(unused); }

    // The library's file name on this platform.
    static std::string FileName();

private:
    bool Tried = false;
    bool Loaded = false;
    std::string LoadProblem;
    void* Handle = nullptr;
    BrinecoreAudioToBytesFn AudioToBytesEntry = nullptr;
    BrinecoreReInitFn ReInitEntry = nullptr;
};

}  // namespace kelvane
