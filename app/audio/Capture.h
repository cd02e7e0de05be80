// Sound-card capture: a ring of 30 buffers of 8192 samples kept queued with
// the wave-in device. The device's thread only counts the buffers it fills;
// the window's timer takes them in ring order, demodulates and re-queues
// them.
#pragma once

#include "audio/SoundCapture.h"
#include "audio/WaveIn.h"

#include "core/MessageBoxes.h"

#include <array>
#include <atomic>
#include <memory>
#include <vector>

namespace kelvane {

class Capture : public SoundCapture {
public:
    static constexpr int32_t RingSize = CaptureRingSize;
    static constexpr uint32_t BufferFrames = BlockFrames;

    Capture(WaveInDevice& device, MessageBoxes& messages) : Device(device), Messages(messages) {}
    ~Capture() override;

    std::vector<std::string> InputDeviceNames() override { return Device.DeviceNames(); }
    bool OpenWaveIn(int32_t& sampleRate, int32_t deviceNumber, int32_t channels = 1) override;
    AudioFormat CaptureFormat() const override { return Format; }
    bool CloseWaveIn() override;
    int32_t FilledBuffers() const override { return FilledCount.load(); }
    void DispatchFilledBuffers(const BlockHandler& process,
                               const std::function<void()>& processEvents) override;

    // The device's completion callback, on its thread: counts a full buffer.
    static void WaveInCallback(uint32_t message, void* instance);

    int32_t RingPosition = 0;  // the buffer taken last, 1 to 30; 0 after open
    bool IsOpen() const { return WaveInHandle; }

private:
    WaveInDevice& Device;
    MessageBoxes& Messages;
    bool WaveInHandle = false;
    AudioFormat Format;
    uint32_t BufferBytes = BufferFrames;
    std::atomic<int32_t> FilledCount{0};
    std::array<WaveHeader, RingSize> WaveHeaders{};
    std::vector<std::unique_ptr<uint8_t[]>> Buffers;  // allocated at open, released at close
};

}  // namespace kelvane
