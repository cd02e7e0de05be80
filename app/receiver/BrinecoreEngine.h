// The two calls the program makes of a Brinecore demodulator, whether it is
// the shared library (one stream per process) or an instance of the same
// core built into the program (one per channel).
#pragma once

#include "DemodContext.h"

#include <cstdint>

namespace kelvane {

class BrinecoreEngine {
public:
    virtual ~BrinecoreEngine() = default;
    // As Brinecore.h documents them.
    virtual int32_t AudioToBytes(const uint8_t* samples, int32_t sampleCount, uint8_t* outBuffer,
                                 int32_t sampleRate, int32_t baudRate, int32_t* peakLevel,
                                 int32_t traceFlag) = 0;
    virtual int32_t ReInit(int32_t unused) = 0;
};

// A demodulator core of its own: what the library holds once per process,
// here once per channel.
class BrinecoreInstance : public BrinecoreEngine {
public:
    explicit BrinecoreInstance(const char* traceFileName) : Context(traceFileName) {}
    int32_t AudioToBytes(const uint8_t* samples, int32_t sampleCount, uint8_t* outBuffer,
                         int32_t sampleRate, int32_t baudRate, int32_t* peakLevel,
                         int32_t traceFlag) override
    {
        return Context.AudioToBytes(samples, sampleCount, outBuffer, sampleRate, baudRate,
                                    peakLevel, traceFlag);
    }
    int32_t ReInit(int32_t unused) override { return Context.ReInit(unused); }

private:
    brinecore::DemodContext Context;
};

}  // namespace kelvane
