#include "audio/WavWriter.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace kelvane {

namespace {

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void Put16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

constexpr size_t HeaderBytes = 44;

}  // namespace

WavWriter::~WavWriter() { Close(); }

std::string WavWriter::Open(const std::string& path, const AudioFormat& format)
{
    Close();
    Path = path;
    DataBytes = 0;
    WriteProblem.clear();
    File = std::fopen(path.c_str(), "wb");
    if (File == nullptr)
        return "Unable to create " + path + ": " + std::strerror(errno);
    std::array<uint8_t, HeaderBytes> header{};
    std::memcpy(header.data(), "RIFF", 4);
    std::memcpy(header.data() + 8, "WAVEfmt ", 8);
    Put32(header.data() + 16, 16);
    Put16(header.data() + 20, 1);  // PCM
    Put16(header.data() + 22, static_cast<uint16_t>(format.Channels));
    Put32(header.data() + 24, static_cast<uint32_t>(format.SampleRate));
    Put32(header.data() + 28, static_cast<uint32_t>(format.SampleRate * format.FrameBytes()));
    Put16(header.data() + 32, static_cast<uint16_t>(format.FrameBytes()));
    Put16(header.data() + 34, static_cast<uint16_t>(format.BitsPerSample));
    std::memcpy(header.data() + 36, "data", 4);
    if (std::fwrite(header.data(), 1, header.size(), File) != header.size()) {
        const std::string problem = "Unable to write to " + path + ": " + std::strerror(errno);
        std::fclose(File);
        File = nullptr;
        return problem;
    }
    return {};
}

bool WavWriter::Write(std::span<const uint8_t> bytes)
{
    if (File == nullptr || !WriteProblem.empty())
        return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), File) != bytes.size()) {
        WriteProblem = "Unable to write to " + Path + ": " + std::strerror(errno);
        return false;
    }
    DataBytes += bytes.size();
    return true;
}

std::string WavWriter::Close()
{
    if (File == nullptr)
        return {};
    std::string problem = WriteProblem;
    if ((DataBytes & 1U) != 0 && std::fputc(0, File) == EOF && problem.empty())
        problem = "Unable to write to " + Path + ": " + std::strerror(errno);
    // Sizes that do not fit the header's 32 bits stay "to the end".
    if (DataBytes + HeaderBytes <= 0xFFFFFFFEU) {
        std::array<uint8_t, 4> size{};
        Put32(size.data(), static_cast<uint32_t>(HeaderBytes - 8 + DataBytes + (DataBytes & 1U)));
        const bool riff = std::fseek(File, 4, SEEK_SET) == 0 && std::fwrite(size.data(), 1, 4, File) == 4;
        Put32(size.data(), static_cast<uint32_t>(DataBytes));
        const bool data = std::fseek(File, 40, SEEK_SET) == 0 && std::fwrite(size.data(), 1, 4, File) == 4;
        if ((!riff || !data) && problem.empty())
            problem = "Unable to finish " + Path + ": " + std::strerror(errno);
    }
    if (std::fclose(File) != 0 && problem.empty())
        problem = "Unable to write to " + Path + ": " + std::strerror(errno);
    File = nullptr;
    return problem;
}

}  // namespace kelvane
