// Writes PCM audio as a RIFF/WAVE file ("fmt " and "data" chunks) as it
// comes, so that a live run can be replayed later with other settings. The
// sizes in the header are filled in at Close; a file left unfinished (the
// program killed) keeps size 0 there, which readers take as "to the end".
#pragma once

#include "core/AudioFormat.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace kelvane {

class WavWriter {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates or empties the file and writes its header. "" or what failed.
    std::string Open(const std::string& path, const AudioFormat& format);
    // Appends whole frames. False once a write has failed (see Problem).
    bool Write(std::span<const uint8_t> bytes);
    // Fills in the sizes and closes the file. "" or what failed.
    std::string Close();

    bool IsOpen() const { return File != nullptr; }
    const std::string& Problem() const { return WriteProblem; }

private:
    std::FILE* File = nullptr;
    std::string Path;
    uint64_t DataBytes = 0;
    std::string WriteProblem;
};

}  // namespace kelvane
