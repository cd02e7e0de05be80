// The library's three exports, driving its one demodulator.
#include "Brinecore.h"

#include "DemodContext.h"

static_assert(brinecore::OutputCapacity == BRINECORE_OUTPUT_CAPACITY);
static_assert(brinecore::MaxFrameLength == BRINECORE_MAX_FRAME);

namespace {

// One stream per process, zero at load; its destructor closes the trace file
// when the library unloads.
brinecore::DemodContext Context;

}  // namespace

extern "C" {

BRINECORE_API int32_t BRINECORE_CALL AudioToBytes(const uint8_t* Samples, int32_t SampleCount,
                                                  uint8_t* OutBuffer, int32_t SampleRate,
                                                  int32_t BaudRate, int32_t* PeakLevel,
                                                  int32_t TraceFlag)
{
    return Context.AudioToBytes(Samples, SampleCount, OutBuffer, SampleRate, BaudRate, PeakLevel,
                                TraceFlag);
}

BRINECORE_API int32_t BRINECORE_CALL ReInit(int32_t Unused) { return Context.ReInit(Unused); }

BRINECORE_API int32_t BRINECORE_CALL GetErrorMessage(char* Buffer)
{
    return brinecore::DemodContext::GetErrorMessage(Buffer);
}

}  // extern "C"
