// A small wave-in audio layer: input devices numbered from 0, opened for
// one or two channels of 16-bit samples where the device offers them (8-bit
// unsigned otherwise); buffers queued in order, filled by the driver's
// thread and handed back full in the same order, each completion reported
// through a callback on that thread.
#pragma once

#include "core/AudioFormat.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

// Result codes of Open.
inline constexpr int32_t WaveInOk = 0;
inline constexpr int32_t WaveInBadDeviceId = 2;
inline constexpr int32_t WaveInAllocated = 4;
inline constexpr int32_t WaveInNoDriver = 6;
inline constexpr int32_t WaveInBadFormat = 32;

// The callback's message for a buffer that came back full (or returned by
// Reset).
inline constexpr uint32_t WaveInDataDone = 0x3C0;

struct WaveHeader {
    uint8_t* Data = nullptr;
    uint32_t BufferLength = 0;
    uint32_t BytesRecorded = 0;
};

using WaveInCallbackFn = void (*)(uint32_t message, void* instance);

class WaveInDevice {
public:
    virtual ~WaveInDevice() = default;
    virtual std::vector<std::string> DeviceNames() = 0;
    // Opens the device at the format's rate and channels; its sample size
    // asks for 16 bits and says what the device gives (16, or 8).
    virtual int32_t Open(int32_t deviceNumber, AudioFormat& format, WaveInCallbackFn callback,
                         void* instance) = 0;
    // Queues a buffer for filling; buffers are filled in the order queued.
    virtual void AddBuffer(WaveHeader& header) = 0;
    // Starts recording; false when the device would not start.
    virtual bool Start() = 0;
    // Stops recording and hands every queued buffer back through the callback.
    virtual void Reset() = 0;
    // False when the device refused to close.
    virtual bool Close() = 0;
};

// The queue between the window's thread, which adds buffers, and the
// driver's thread, which takes them: one of each, without locks.
class HeaderQueue {
public:
    static constexpr size_t Capacity = 64;
    bool Push(WaveHeader* header)
    {
        const size_t tail = Tail.load(std::memory_order_relaxed);
        if (tail - Head.load(std::memory_order_acquire) == Capacity)
            return false;
        Slots[tail % Capacity] = header;
        Tail.store(tail + 1, std::memory_order_release);
        return true;
    }
    WaveHeader* Pop()
    {
        const size_t head = Head.load(std::memory_order_relaxed);
        if (head == Tail.load(std::memory_order_acquire))
            return nullptr;
        WaveHeader* header = Slots[head % Capacity];
        Head.store(head + 1, std::memory_order_release);
        return header;
    }

private:
    std::array<WaveHeader*, Capacity> Slots{};
    std::atomic<size_t> Head{0};
    std::atomic<size_t> Tail{0};
};

// Copies samples into the queued buffers in order: the driver's part, run on
// its thread. Samples that find no queued buffer are lost.
class BufferFiller {
public:
    void Fill(const uint8_t* bytes, size_t count);
    // With the driver stopped: hands back the buffer in progress and every
    // queued one.
    void ReturnAll();
    void Reset(WaveInCallbackFn callback, void* instance, size_t frameBytes = 1);

    HeaderQueue Queue;
    size_t FrameBytes = 1;

private:
    WaveHeader* Current = nullptr;
    WaveInCallbackFn Callback = nullptr;
    void* Instance = nullptr;
};

#ifndef _WIN32
// The layer on PortAudio (Windows has its own: WinMmWaveIn.h).
class PortAudioWaveIn : public WaveInDevice {
public:
    PortAudioWaveIn() = default;
    ~PortAudioWaveIn() override;
    std::vector<std::string> DeviceNames() override;
    int32_t Open(int32_t deviceNumber, AudioFormat& format, WaveInCallbackFn callback,
                 void* instance) override;
    void AddBuffer(WaveHeader& header) override;
    bool Start() override;
    void Reset() override;
    bool Close() override;

private:
    bool Initialise();
    std::vector<int> InputDevices();

    bool Initialised = false;
    void* Stream = nullptr;
    BufferFiller Filler;
};
#endif

}  // namespace kelvane
