// The WAV reader on arbitrary files: a clear answer, and never more samples
// than the file holds.
#include "audio/WavReader.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/kelvane-fuzz-wav-" + std::to_string(getpid()) + ".wav";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    kelvane::WavReader reader;
    const std::string problem = reader.Open(path);
    if (!problem.empty())
        return 0;
    if (reader.SampleRate() <= 0)
        std::abort();
    std::vector<uint8_t> block(kelvane::WavReader::BlockSize);
    size_t total = 0;
    for (int32_t n; (n = reader.Read(block.data())) > 0;)
        total += static_cast<size_t>(n);
    if (total > size)
        std::abort();
    return 0;
}
