#include "audio/WavReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace kelvane {
namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(Bytes& b, uint16_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Chunk(Bytes& b, const char* id, const Bytes& content, uint32_t sizeField)
{
    b.insert(b.end(), id, id + 4);
    Put32(b, sizeField);
    b.insert(b.end(), content.begin(), content.end());
    if (content.size() % 2 == 1)
        b.push_back(0);
}
Bytes Format(uint16_t channels, uint32_t rate, uint16_t bits, size_t size = 16)
{
    Bytes f;
    Put16(f, 1);
    Put16(f, channels);
    Put32(f, rate);
    Put32(f, rate * channels * bits / 8);
    Put16(f, static_cast<uint16_t>(channels * bits / 8));
    Put16(f, bits);
    f.resize(size, 0);
    return f;
}
Bytes Riff(const Bytes& chunks)
{
    Bytes b = {'R', 'I', 'F', 'F'};
    Put32(b, static_cast<uint32_t>(chunks.size() + 4));
    b.insert(b.end(), {'W', 'A', 'V', 'E'});
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}

class WavFile : public ::testing::Test {
protected:
    std::string Write(const Bytes& bytes)
    {
        const std::string path = std::filesystem::temp_directory_path() /
                                 ("kelvane-wav-" + std::to_string(getpid()) + "-" +
                                  std::to_string(Files.size()) + ".wav");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        Files.push_back(path);
        return path;
    }
    void TearDown() override
    {
        for (const auto& f : Files)
            std::filesystem::remove(f);
    }
    static Bytes ReadAll(WavReader& reader)
    {
        Bytes all;
        Bytes block(WavReader::BlockSize);
        int32_t n = 0;
        while ((n = reader.Read(block.data())) > 0)
            all.insert(all.end(), block.begin(), block.begin() + n);
        EXPECT_EQ(n, 0);
        return all;
    }
    std::vector<std::string> Files;
};

TEST_F(WavFile, EachHeaderProblemHasItsText)
{
    WavReader reader;
    EXPECT_EQ(reader.Open("/nonexistent/x.wav"), "Error opening input file, rc = 2");
    EXPECT_EQ(reader.Open(std::filesystem::temp_directory_path()), "Error opening input file, rc = 21");
    EXPECT_EQ(reader.Open(Write({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '})), "Not a wave file");
    EXPECT_EQ(reader.Open(Write({})), "Not a wave file");

    Bytes noFormat;
    Chunk(noFormat, "data", Bytes(10, 128), 10);
    EXPECT_EQ(reader.Open(Write(Riff(noFormat))), "Couldn't get format chunk");

    Bytes shortFormat;
    Chunk(shortFormat, "fmt ", Bytes(8, 0), 8);
    EXPECT_EQ(reader.Open(Write(Riff(shortFormat))), "Error reading format");

    // No data chunk is reported before a wrong format.
    Bytes noData;
    Chunk(noData, "fmt ", Format(2, 8000, 16), 16);
    EXPECT_EQ(reader.Open(Write(Riff(noData))), "Couldn't get data chunk");

    for (auto [channels, bits] : {std::pair<uint16_t, uint16_t>{2, 8}, {1, 16}}) {
        Bytes wrong;
        Chunk(wrong, "fmt ", Format(channels, 8000, bits), 16);
        Chunk(wrong, "data", Bytes(10, 128), 10);
        EXPECT_EQ(reader.Open(Write(Riff(wrong))), "Wave data must be 8-bit / mono.");
        // Two receivers take them, 16 bits in whole frames of both sides.
        WavReader wide;
        wide.AcceptWideAndStereo = true;
        EXPECT_EQ(wide.Open(Write(Riff(wrong))), "");
        EXPECT_EQ(wide.BlockBytes(), 8192 * channels * bits / 8);
    }
    Bytes tooWide;
    Chunk(tooWide, "fmt ", Format(2, 8000, 24), 16);
    Chunk(tooWide, "data", Bytes(12, 0), 12);
    WavReader wide;
    wide.AcceptWideAndStereo = true;
    EXPECT_EQ(wide.Open(Write(Riff(tooWide))), "Wave data must be 8- or 16-bit, mono or stereo, not 24-bit with 2 channels.");
    Bytes oneWide;
    Chunk(oneWide, "fmt ", Format(1, 8000, 24), 16);
    Chunk(oneWide, "data", Bytes(12, 0), 12);
    EXPECT_EQ(wide.Open(Write(Riff(oneWide))), "Wave data must be 8- or 16-bit, mono or stereo, not 24-bit with 1 channel.");

    Bytes zeroRate;
    Chunk(zeroRate, "fmt ", Format(1, 0, 8), 16);
    Chunk(zeroRate, "data", Bytes(10, 128), 10);
    EXPECT_EQ(reader.Open(Write(Riff(zeroRate))),
              "Wave sample rate must be between 1 and 2147483647, not 0.");
}

TEST_F(WavFile, ReadsTheDataChunkAndNothingAfterIt)
{
    Bytes samples(20000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<uint8_t>(i * 7);
    Bytes chunks;
    Chunk(chunks, "LIST", Bytes(5, 'x'), 5);  // odd size: padded
    Chunk(chunks, "fmt ", Format(1, 22050, 8, 18), 18);
    Chunk(chunks, "JUNK", {}, 0);                 // empty: skipped like any other
    Chunk(chunks, "fact", Bytes(3, 'z'), 3);      // odd again, between fmt and data
    Chunk(chunks, "data", samples, static_cast<uint32_t>(samples.size()));
    Chunk(chunks, "LIST", Bytes(30, 'y'), 30);
    WavReader reader;
    ASSERT_EQ(reader.Open(Write(Riff(chunks))), "");
    EXPECT_EQ(reader.SampleRate(), 22050);
    EXPECT_EQ(reader.WavDataBytes(), 20000);
    Bytes block(WavReader::BlockSize);
    EXPECT_EQ(reader.Read(block.data()), 8192);
    EXPECT_EQ(reader.Read(block.data()), 8192);
    EXPECT_EQ(reader.Read(block.data()), 20000 - 2 * 8192);
    EXPECT_EQ(reader.Read(block.data()), 0);
}

TEST_F(WavFile, UnfinishedRecordingsAreReadToTheEnd)
{
    const Bytes samples(9000, 77);
    for (uint32_t sizeField : {0U, 0xFFFFFFFFU, 100000U}) {
        Bytes chunks;
        Chunk(chunks, "fmt ", Format(1, 48000, 8), 16);
        Chunk(chunks, "data", samples, sizeField);
        WavReader reader;
        ASSERT_EQ(reader.Open(Write(Riff(chunks))), "");
        EXPECT_EQ(ReadAll(reader), samples) << "size field " << sizeField;
    }
}

}  // namespace
}  // namespace kelvane
