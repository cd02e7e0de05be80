#include "audio/WaveIn.h"

#include <portaudio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace kelvane {

void BufferFiller::Reset(WaveInCallbackFn callback, void* instance, size_t frameBytes)
{
    Callback = callback;
    Instance = instance;
    FrameBytes = frameBytes;
    Current = nullptr;
    while (Queue.Pop() != nullptr) {
    }
}

void BufferFiller::Fill(const uint8_t* bytes, size_t count)
{
    while (count > 0) {
        if (Current == nullptr) {
            Current = Queue.Pop();
            if (Current == nullptr)
                return;  // no buffer queued: these samples are lost
        }
        const size_t room = Current->BufferLength - Current->BytesRecorded;
        const size_t n = std::min(room, count);
        std::memcpy(Current->Data + Current->BytesRecorded, bytes, n);
        Current->BytesRecorded += static_cast<uint32_t>(n);
        bytes += n;
        count -= n;
        if (Current->BytesRecorded == Current->BufferLength) {
            Current = nullptr;
            Callback(WaveInDataDone, Instance);
        }
    }
}

void BufferFiller::ReturnAll()
{
    if (Current != nullptr) {
        Current = nullptr;
        Callback(WaveInDataDone, Instance);
    }
    while (Queue.Pop() != nullptr)
        Callback(WaveInDataDone, Instance);
}

namespace {

// The driver's thread: copy and count, nothing else (no locks, no
// allocation, no calls back into PortAudio).
int StreamCallback(const void* input, void*, unsigned long frames,
                   const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* filler)
{
    if (input != nullptr) {
        auto* f = static_cast<BufferFiller*>(filler);
        f->Fill(static_cast<const uint8_t*>(input), frames * f->FrameBytes);
    }
    return paContinue;
}

int32_t ResultCode(PaError error)
{
    switch (error) {
    case paNoError: return WaveInOk;
    case paInvalidDevice: return WaveInBadDeviceId;
    case paDeviceUnavailable: return WaveInAllocated;
    case paNotInitialized:
    case paHostApiNotFound:
    case paInvalidHostApi: return WaveInNoDriver;
    case paInvalidSampleRate:
    case paSampleFormatNotSupported:
    case paInvalidChannelCount:
    case paBadIODeviceCombination: return WaveInBadFormat;
    default: return static_cast<int32_t>(error);
    }
}

}  // namespace

PortAudioWaveIn::~PortAudioWaveIn()
{
    Close();
    if (Initialised)
        Pa_Terminate();
}

bool PortAudioWaveIn::Initialise()
{
    if (Initialised)
        return true;
    // Probing the host APIs makes ALSA and JACK print a page of complaints
    // about devices that are not there; the user sees our messages instead.
    std::fflush(stderr);
    const int saved = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    if (saved >= 0 && null >= 0)
        dup2(null, 2);
    Initialised = Pa_Initialize() == paNoError;
    if (saved >= 0 && null >= 0)
        dup2(saved, 2);
    if (saved >= 0)
        close(saved);
    if (null >= 0)
        close(null);
    return Initialised;
}

std::vector<int> PortAudioWaveIn::InputDevices()
{
    std::vector<int> inputs;
    if (!Initialise())
        return inputs;
    const int count = Pa_GetDeviceCount();
    for (int i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info != nullptr && info->maxInputChannels > 0)
            inputs.push_back(i);
    }
    return inputs;
}

std::vector<std::string> PortAudioWaveIn::DeviceNames()
{
    // Whole names: ALSA's are long and often alike in their first words.
    std::vector<std::string> names;
    for (int device : InputDevices())
        names.emplace_back(Pa_GetDeviceInfo(device)->name);
    return names;
}

int32_t PortAudioWaveIn::Open(int32_t deviceNumber, AudioFormat& format, WaveInCallbackFn callback,
                              void* instance)
{
    if (!Initialise())
        return WaveInNoDriver;
    const std::vector<int> inputs = InputDevices();
    if (deviceNumber < 0 || static_cast<size_t>(deviceNumber) >= inputs.size())
        return WaveInBadDeviceId;
    const int device = inputs[static_cast<size_t>(deviceNumber)];
    PaStreamParameters parameters{};
    parameters.device = device;
    parameters.channelCount = format.Channels;
    parameters.suggestedLatency = Pa_GetDeviceInfo(device)->defaultHighInputLatency;
    // 16 bits where the device has them: the burst demodulator reads the
    // finer steps; the others take the top byte, as an 8-bit capture gives.
    const bool wide = format.BitsPerSample > 8;
    parameters.sampleFormat = paInt16;
    if (!wide || Pa_IsFormatSupported(&parameters, nullptr, format.SampleRate) != paFormatIsSupported)
        parameters.sampleFormat = paUInt8;
    format.BitsPerSample = parameters.sampleFormat == paInt16 ? 16 : 8;
    Filler.Reset(callback, instance, static_cast<size_t>(format.FrameBytes()));
    PaStream* stream = nullptr;
    const PaError error = Pa_OpenStream(&stream, &parameters, nullptr, format.SampleRate,
                                        paFramesPerBufferUnspecified, paClipOff, StreamCallback,
                                        &Filler);
    if (error != paNoError)
        return ResultCode(error);
    Stream = stream;
    return WaveInOk;
}

void PortAudioWaveIn::AddBuffer(WaveHeader& header)
{
    header.BytesRecorded = 0;
    // The queue holds more than the ring's 30 buffers, so this never fails.
    Filler.Queue.Push(&header);
}

bool PortAudioWaveIn::Start()
{
    return Stream != nullptr && Pa_StartStream(static_cast<PaStream*>(Stream)) == paNoError;
}

void PortAudioWaveIn::Reset()
{
    if (Stream == nullptr)
        return;
    Pa_AbortStream(static_cast<PaStream*>(Stream));
    Filler.ReturnAll();
}

bool PortAudioWaveIn::Close()
{
    if (Stream == nullptr)
        return true;
    if (Pa_CloseStream(static_cast<PaStream*>(Stream)) != paNoError)
        return false;
    Stream = nullptr;
    return true;
}

}  // namespace kelvane
