// Reads PCM audio from a RIFF/WAVE file or stream: 8-bit mono, the format
// that one receiver's replay takes, or also 16-bit and stereo (two
// receivers, and the command-line decoder).
#pragma once

#include "core/AudioFormat.h"
#include "audio/BlockSource.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace kelvane {

class WavReader : public BlockSource {
public:
    // Frames per block; an 8-bit mono block is this many bytes.
    static constexpr int32_t BlockSize = BlockFrames;

    // Set before Open: also take 16-bit samples and two channels.
    bool AcceptWideAndStereo = false;

    WavReader() = default;
    ~WavReader() override;
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    // Opens the file ("-" is standard input) and reads the header up to the
    // start of the samples. Returns "" on success or the text of the first
    // problem found; the file is closed again then.
    std::string Open(const std::string& fileName);

    // Reads the next block into buffer (at most BlockBytes()). Returns the
    // count of bytes, 0 at the end of the samples, or -1 after a read error,
    // when nothing of the failed read may be used (see ReadError).
    int32_t Read(uint8_t* buffer) override;
    int32_t BlockBytes() const override { return BlockSize * Format().FrameBytes(); }

    std::string ReadError() const override { return ReadErrorText; }

    void Close();

    int32_t SampleRate() const { return FileSampleRate; }
    AudioFormat Format() const override { return {FileSampleRate, Channels, BitsPerSample}; }
    // The "data" chunk's size field as stored (0xFFFFFFFF reads as -1).
    int32_t WavDataBytes() const { return DataSizeField; }

private:
    bool ReadExact(void* buffer, size_t count);
    bool Skip(uint64_t count);
    std::string ReadHeader();

    std::FILE* File = nullptr;
    bool OwnsFile = false;
    int32_t FileSampleRate = 0;
    int32_t Channels = 1;
    int32_t BitsPerSample = 8;
    int32_t DataSizeField = 0;
    bool ReadToEnd = false;       // the data size is unknown: read to end of file
    uint64_t DataRemaining = 0;   // bytes of the data chunk still to read
    std::string ReadErrorText;
};

}  // namespace kelvane
