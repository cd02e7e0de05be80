// The sound card as a monitoring loop sees it: the input
// devices, opening and closing the capture, and the buffers it has filled.
#pragma once

#include "core/AudioFormat.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace kelvane {

// The buffers kept queued with the device: when all of them wait, the
// reader has fallen behind (an overrun).
inline constexpr int32_t CaptureRingSize = 30;

// What a recorded block is handed to.
using BlockHandler = std::function<void(std::span<const uint8_t>)>;

class SoundCapture {
public:
    virtual ~SoundCapture() = default;

    // The input devices' names, numbered from 0 in the system's order.
    virtual std::vector<std::string> InputDeviceNames() = 0;

    // Opens the device for one or two channels at sampleRate (0 becomes
    // 44100, written back), in 16 bits where it offers them, and starts
    // recording into the ring of buffers. False after a message to the user
    // that says why; nothing is left open then.
    virtual bool OpenWaveIn(int32_t& sampleRate, int32_t deviceNumber, int32_t channels = 1) = 0;
    // What the open capture records.
    virtual AudioFormat CaptureFormat() const = 0;
    // Stops and releases the device and the ring; false when the device
    // refused to close.
    virtual bool CloseWaveIn() = 0;

    // Buffers filled and not yet dispatched; 30 means the ring is full.
    virtual int32_t FilledBuffers() const = 0;

    // Hands every buffer filled so far to process, in the order they were
    // recorded, queues each again, and lets the window process its events
    // between buffers. Each buffer goes to the tap first, when set.
    virtual void DispatchFilledBuffers(const BlockHandler& process,
                                       const std::function<void()>& processEvents) = 0;

    // Sees every buffer as it was recorded (kelvane-decode --record).
    std::function<void(std::span<const uint8_t>)> BufferTap;
};

}  // namespace kelvane
