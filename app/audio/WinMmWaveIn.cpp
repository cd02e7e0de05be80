#include "audio/WinMmWaveIn.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <iterator>

namespace kelvane {

struct WinMmWaveIn::SystemHeader {
    WAVEHDR System{};
    WaveHeader* Caller = nullptr;
};

namespace {

HWAVEIN Device(void* handle) { return static_cast<HWAVEIN>(handle); }

// The driver's thread: a buffer that came back (full, or returned by a reset)
// is reported with what it holds; nothing else may be done here, winmm
// forbids calling back into it from its callback.
void CALLBACK WaveInProc(HWAVEIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    if (message != WIM_DATA)
        return;
    auto* self = reinterpret_cast<WinMmWaveIn*>(instance);
    const auto* system = reinterpret_cast<const WAVEHDR*>(param1);
    reinterpret_cast<WaveHeader*>(system->dwUser)->BytesRecorded =
        static_cast<uint32_t>(system->dwBytesRecorded);
    self->Callback(WaveInDataDone, self->Instance);
}

WAVEFORMATEX PcmFormat(const AudioFormat& format)
{
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = static_cast<WORD>(format.Channels);
    pcm.nSamplesPerSec = static_cast<DWORD>(format.SampleRate);
    pcm.wBitsPerSample = static_cast<WORD>(format.BitsPerSample);
    pcm.nBlockAlign = static_cast<WORD>(format.FrameBytes());
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
    pcm.cbSize = 0;
    return pcm;
}

}  // namespace

WinMmWaveIn::WinMmWaveIn() = default;

WinMmWaveIn::~WinMmWaveIn()
{
    Reset();
    Close();
}

std::vector<std::string> WinMmWaveIn::DeviceNames()
{
    std::vector<std::string> names;
    const UINT count = waveInGetNumDevs();
    for (UINT device = 0; device < count; ++device) {
        WAVEINCAPSA caps{};
        // A device that cannot say its name keeps its number.
        if (waveInGetDevCapsA(device, &caps, sizeof caps) == MMSYSERR_NOERROR)
            names.emplace_back(std::begin(caps.szPname),
                               std::find(std::begin(caps.szPname), std::end(caps.szPname), '\0'));
        else
            names.emplace_back();
    }
    return names;
}

int32_t WinMmWaveIn::Open(int32_t deviceNumber, AudioFormat& format, WaveInCallbackFn callback,
                          void* instance)
{
    if (Handle != nullptr) {
        Reset();
        if (!Close())
            return WaveInAllocated;
    }
    // WAVE_MAPPER (-1) is not a device of the list.
    if (deviceNumber < 0)
        return WaveInBadDeviceId;
    Callback = callback;
    Instance = instance;
    // 16 bits where the device has them: the burst demodulator reads the
    // finer steps; the others take the top byte, as an 8-bit capture gives.
    const bool wide = format.BitsPerSample > 8;
    MMRESULT result = WAVERR_BADFORMAT;
    HWAVEIN device = nullptr;
    for (const int32_t bits : {16, 8}) {
        if (bits == 16 && !wide)
            continue;
        format.BitsPerSample = bits;
        WAVEFORMATEX pcm = PcmFormat(format);
        result = waveInOpen(&device, static_cast<UINT>(deviceNumber), &pcm,
                            reinterpret_cast<DWORD_PTR>(&WaveInProc), reinterpret_cast<DWORD_PTR>(this),
                            CALLBACK_FUNCTION);
        if (result != WAVERR_BADFORMAT)
            break;
    }
    if (result != MMSYSERR_NOERROR)
        return static_cast<int32_t>(result);
    Handle = device;
    return WaveInOk;
}

void WinMmWaveIn::AddBuffer(WaveHeader& header)
{
    if (Handle == nullptr)
        return;
    SystemHeader* entry = nullptr;
    for (const std::unique_ptr<SystemHeader>& h : Headers)
        if (h->Caller == &header)
            entry = h.get();
    if (entry == nullptr) {
        Headers.push_back(std::make_unique<SystemHeader>());
        entry = Headers.back().get();
        entry->Caller = &header;
    }
    WAVEHDR& system = entry->System;
    const auto data = reinterpret_cast<LPSTR>(header.Data);
    // The same header over another buffer is prepared again for it.
    if ((system.dwFlags & WHDR_PREPARED) != 0 &&
        (system.lpData != data || system.dwBufferLength != header.BufferLength))
        waveInUnprepareHeader(Device(Handle), &system, sizeof system);
    if ((system.dwFlags & WHDR_PREPARED) == 0) {
        system = {};
        system.lpData = data;
        system.dwBufferLength = header.BufferLength;
        system.dwUser = reinterpret_cast<DWORD_PTR>(&header);
        if (waveInPrepareHeader(Device(Handle), &system, sizeof system) != MMSYSERR_NOERROR)
            return;
    }
    header.BytesRecorded = 0;
    waveInAddBuffer(Device(Handle), &system, sizeof system);
}

bool WinMmWaveIn::Start()
{
    return Handle != nullptr && waveInStart(Device(Handle)) == MMSYSERR_NOERROR;
}

void WinMmWaveIn::Reset()
{
    // Every queued buffer comes back through the callback, marked done.
    if (Handle != nullptr)
        waveInReset(Device(Handle));
}

bool WinMmWaveIn::Close()
{
    if (Handle == nullptr)
        return true;
    for (const std::unique_ptr<SystemHeader>& h : Headers)
        if ((h->System.dwFlags & WHDR_PREPARED) != 0)
            waveInUnprepareHeader(Device(Handle), &h->System, sizeof h->System);
    // Refused while buffers are still queued (no reset before), and then
    // nothing is released: the caller's buffers stay the driver's.
    if (waveInClose(Device(Handle)) != MMSYSERR_NOERROR)
        return false;
    Handle = nullptr;
    Headers.clear();
    return true;
}

}  // namespace kelvane
