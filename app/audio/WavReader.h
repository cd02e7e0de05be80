// Reads 8-bit mono PCM audio from a RIFF/WAVE file or stream, the format that
// replay and the command-line decoder take.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kelvane {

class WavReader {
public:
    static constexpr int32_t BlockSize = 8192;

    WavReader() = default;
    ~WavReader();
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    // Opens the file ("-" is standard input) and reads the header up to the
    // start of the samples. Returns "" on success or the text of the first
    // problem found; the file is closed again then.
    std::string Open(const std::string& fileName);

    // Reads the next samples into buffer (at most BlockSize). Returns the
    // count, 0 at the end of the samples, or -1 after a read error, when
    // nothing of the failed read may be used (see ReadError).
    int32_t Read(uint8_t* buffer);

    std::string ReadError() const { return ReadErrorText; }

    void Close();

    int32_t SampleRate() const { return FileSampleRate; }
    // The "data" chunk's size field as stored (0xFFFFFFFF reads as -1).
    int32_t WavDataBytes() const { return DataSizeField; }

private:
    bool ReadExact(void* buffer, size_t count);
    bool Skip(uint64_t count);
    std::string ReadHeader();

    std::FILE* File = nullptr;
    bool OwnsFile = false;
    int32_t FileSampleRate = 0;
    int32_t DataSizeField = 0;
    bool ReadToEnd = false;       // the data size is unknown: read to end of file
    uint64_t DataRemaining = 0;   // bytes of the data chunk still to read
    std::string ReadErrorText;
};

}  // namespace kelvane
