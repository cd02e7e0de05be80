// RIFF/WAVE reading (Microsoft RIFF, "fmt " and "data" chunks). The reader is
// sequential, so it also works on pipes.
#include "audio/WavReader.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#ifdef _WIN32
#include <filesystem>
#include <system_error>
#endif

namespace kelvane {

namespace {

uint32_t Le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool IsId(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// Recorders that never finalised their file leave the size 0 or all ones.
bool SizeUnknown(uint32_t size) { return size == 0 || size == 0xFFFFFFFFU; }

}  // namespace

WavReader::~WavReader() { Close(); }

void WavReader::Close()
{
    if (File != nullptr && OwnsFile)
        std::fclose(File);
    File = nullptr;
    OwnsFile = false;
}

std::string WavReader::Open(const std::string& fileName)
{
    Close();
    ReadErrorText.clear();
    Channels = 1;
    BitsPerSample = 8;
    if (fileName == "-") {
        File = stdin;
        OwnsFile = false;
    } else {
        File = std::fopen(fileName.c_str(), "rb");
        if (File == nullptr) {
            const int error = errno;
#ifdef _WIN32
            // Windows refuses to open a folder at all (EACCES): the number
            // Linux gives once it finds it opened one.
            std::error_code ignored;
            if (error == EACCES && std::filesystem::is_directory(fileName, ignored))
                return "Error opening input file, rc = " + std::to_string(EISDIR);
#endif
            return "Error opening input file, rc = " + std::to_string(error);
        }
        OwnsFile = true;
        struct stat info {};
        if (fstat(fileno(File), &info) == 0 && S_ISDIR(info.st_mode)) {
            Close();
            return "Error opening input file, rc = " + std::to_string(EISDIR);
        }
    }
    std::string problem = ReadHeader();
    if (!problem.empty())
        Close();
    return problem;
}

bool WavReader::ReadExact(void* buffer, size_t count)
{
    return std::fread(buffer, 1, count, File) == count;
}

bool WavReader::Skip(uint64_t count)
{
    std::array<uint8_t, 4096> scrap{};
    while (count > 0) {
        const size_t step = count < scrap.size() ? static_cast<size_t>(count) : scrap.size();
        if (!ReadExact(scrap.data(), step))
            return false;
        count -= step;
    }
    return true;
}

std::string WavReader::ReadHeader()
{
    std::array<uint8_t, 12> riff{};
    if (!ReadExact(riff.data(), riff.size()) || !IsId(riff.data(), "RIFF") ||
        !IsId(riff.data() + 8, "WAVE"))
        return "Not a wave file";

    // Chunks are word aligned: an odd-sized chunk is followed by a pad byte.
    std::array<uint8_t, 8> chunk{};
    for (;;) {
        if (!ReadExact(chunk.data(), chunk.size()))
            return "Couldn't get format chunk";
        const uint32_t size = Le32(chunk.data() + 4);
        if (IsId(chunk.data(), "fmt "))
            break;
        if (!Skip(static_cast<uint64_t>(size) + (size & 1U)))
            return "Couldn't get format chunk";
    }

    // Channels, rate and bits per sample lie in the first 16 bytes; the
    // format tag is not looked at.
    const uint32_t formatSize = Le32(chunk.data() + 4);
    std::array<uint8_t, 16> format{};
    if (formatSize < format.size() || !ReadExact(format.data(), format.size()))
        return "Error reading format";
    const uint16_t channels = Le16(format.data() + 2);
    const uint32_t rate = Le32(format.data() + 4);
    const uint16_t bits = Le16(format.data() + 14);
    if (!Skip(formatSize - format.size() + (formatSize & 1U)))
        return "Couldn't get data chunk";

    for (;;) {
        if (!ReadExact(chunk.data(), chunk.size()))
            return "Couldn't get data chunk";
        const uint32_t size = Le32(chunk.data() + 4);
        if (IsId(chunk.data(), "data"))
            break;
        // An empty chunk is skipped like any other; only one whose size was
        // never written cannot be.
        if (size == 0xFFFFFFFFU || !Skip(static_cast<uint64_t>(size) + (size & 1U)))
            return "Couldn't get data chunk";
    }
    if (AcceptWideAndStereo) {
        if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16))
            return "Wave data must be 8- or 16-bit, mono or stereo, not " + std::to_string(bits) +
                   "-bit with " + std::to_string(channels) + (channels == 1 ? " channel." : " channels.");
    } else if (channels != 1 || bits != 8) {
        return "Wave data must be 8-bit / mono.";
    }
    // A rate of 0 would divide by zero in the demodulators; a rate above
    // 2^31 cannot be a real recording.
    if (rate == 0 || rate > 0x7FFFFFFFU)
        return "Wave sample rate must be between 1 and 2147483647, not " + std::to_string(rate) +
               ".";

    const uint32_t dataSize = Le32(chunk.data() + 4);
    FileSampleRate = static_cast<int32_t>(rate);
    Channels = channels;
    BitsPerSample = bits;
    DataSizeField = static_cast<int32_t>(dataSize);
    ReadToEnd = SizeUnknown(dataSize);
    DataRemaining = dataSize;
    return {};
}

int32_t WavReader::Read(uint8_t* buffer)
{
    if (File == nullptr)
        return 0;
    size_t want = static_cast<size_t>(BlockBytes());
    if (!ReadToEnd && DataRemaining < want)
        want = static_cast<size_t>(DataRemaining);
    if (want == 0)
        return 0;
    const size_t got = std::fread(buffer, 1, want, File);
    if (got < want && std::ferror(File)) {
        ReadErrorText = "Error reading wave data, rc = " + std::to_string(errno);
        return -1;
    }
    if (!ReadToEnd)
        DataRemaining -= got;
    if (got < want) {  // the end of the file, whatever the chunk's size said
        DataRemaining = 0;
        ReadToEnd = false;
    }
    return static_cast<int32_t>(got);
}

}  // namespace kelvane
