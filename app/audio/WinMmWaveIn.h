// The wave-in layer on Windows' own multimedia functions (winmm): device
// numbers are the system's wave-in numbers, Open's results are winmm's own
// codes (the interface's codes are those), and each buffer comes back through
// a callback on the driver's thread.
#pragma once

#include "audio/WaveIn.h"

#include <memory>
#include <string>
#include <vector>

namespace kelvane {

class WinMmWaveIn : public WaveInDevice {
public:
    WinMmWaveIn();
    ~WinMmWaveIn() override;
    WinMmWaveIn(const WinMmWaveIn&) = delete;
    WinMmWaveIn& operator=(const WinMmWaveIn&) = delete;

    // The names as the system gives them (cut at 31 characters).
    std::vector<std::string> DeviceNames() override;
    int32_t Open(int32_t deviceNumber, AudioFormat& format, WaveInCallbackFn callback,
                 void* instance) override;
    void AddBuffer(WaveHeader& header) override;
    bool Start() override;
    void Reset() override;
    bool Close() override;

    // The system's header for one of the caller's buffers: prepared the
    // first time the buffer is queued, released at close.
    struct SystemHeader;

    // Read on the driver's thread; set before the device opens.
    WaveInCallbackFn Callback = nullptr;
    void* Instance = nullptr;

private:
    void* Handle = nullptr;  // the HWAVEIN; null when closed
    std::vector<std::unique_ptr<SystemHeader>> Headers;
};

}  // namespace kelvane
