#include "audio/Capture.h"

#include "core/KeptTexts.h"

#include <span>
#include <string>

namespace kelvane {

namespace {

const std::string OpenFailed = kept::AudioOpenFailed;

}  // namespace

Capture::~Capture() { CloseWaveIn(); }

void Capture::WaveInCallback(uint32_t message, void* instance)
{
    if (message == WaveInDataDone)
        static_cast<Capture*>(instance)->FilledCount.fetch_add(1);
}

bool Capture::OpenWaveIn(int32_t& sampleRate, int32_t deviceNumber, int32_t channels)
{
    if (sampleRate == 0)
        sampleRate = 44100;
    WaveInHandle = false;
    Format = {sampleRate, channels, 16};
    const int32_t result = Device.Open(deviceNumber, Format, WaveInCallback, this);
    if (result != WaveInOk) {
        switch (result) {
        case WaveInBadDeviceId:
            Messages.Show(OpenFailed + "  The device number (" + std::to_string(deviceNumber) +
                          ") cannot be found.");
            break;
        case WaveInAllocated:
            Messages.Show(OpenFailed + "  The device appears to already be in use.");
            break;
        case WaveInNoDriver:
            Messages.Show(OpenFailed + "  No device driver present.");
            break;
        case WaveInBadFormat:
            Messages.Show(OpenFailed + "  Audio format requested by program not supported " +
                          "by audio device.");
            break;
        default:
            Messages.Show(OpenFailed + "The audio device may be in use by another application.  " +
                              "waveInOpen returned " + std::to_string(result) + ".",
                          MessageIcon::Critical, kept::AudioFailureTitle);
            break;
        }
        return false;
    }
    WaveInHandle = true;
    FilledCount.store(0);
    BufferBytes = BufferFrames * static_cast<uint32_t>(Format.FrameBytes());
    // A fresh ring for every run, released again at close.
    Buffers.clear();
    for (int32_t i = 0; i < RingSize; ++i) {
        Buffers.push_back(std::make_unique<uint8_t[]>(BufferBytes));
        WaveHeaders[static_cast<size_t>(i)] = {Buffers.back().get(), BufferBytes, 0};
        Device.AddBuffer(WaveHeaders[static_cast<size_t>(i)]);
    }
    RingPosition = 0;
    if (!Device.Start()) {
        // Reported rather than taken for a running capture that never fills.
        Device.Reset();
        Device.Close();
        WaveInHandle = false;
        Buffers.clear();
        FilledCount.store(0);
        Messages.Show(OpenFailed + "The audio device would not start recording.",
                      MessageIcon::Critical);
        return false;
    }
    return true;
}

bool Capture::CloseWaveIn()
{
    if (!WaveInHandle)
        return true;
    Device.Reset();
    if (!Device.Close())
        return false;
    WaveInHandle = false;
    // No callback comes after the close: the count and the ring can go.
    FilledCount.store(0);
    RingPosition = 0;
    Buffers.clear();
    WaveHeaders = {};
    return true;
}

void Capture::DispatchFilledBuffers(const BlockHandler& process,
                                    const std::function<void()>& processEvents)
{
    const int32_t n = FilledCount.load();
    for (int32_t i = 0; i < n; ++i) {
        RingPosition = RingPosition % RingSize + 1;
        WaveHeader& header = WaveHeaders[static_cast<size_t>(RingPosition - 1)];
        // The whole buffer, whatever the driver counted as recorded.
        const std::span<const uint8_t> samples(header.Data, BufferBytes);
        if (BufferTap)
            BufferTap(samples);
        process(samples);
        Device.AddBuffer(header);
        processEvents();
    }
    // Buffers the driver filled meanwhile stay counted for the next tick.
    FilledCount.fetch_sub(n);
}

}  // namespace kelvane
