// The program's capture: the ring on the PortAudio wave-in layer.
#pragma once

#include "Capture.h"
#include "WaveIn.h"

namespace kelvane {

class PortAudioCapture : public Capture {
public:
    explicit PortAudioCapture(MessageBoxes& messages) : Capture(Layer, messages) {}
    ~PortAudioCapture() override { CloseWaveIn(); }

private:
    PortAudioWaveIn Layer;
};

}  // namespace kelvane
