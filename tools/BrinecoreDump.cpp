// brinecore-dump: runs a WAV file through the Brinecore library and prints
// every block the library returns, frames in hexadecimal with the result of
// their frame check, trace text as it stands. A window onto the library
// alone, for checking recordings and receivers.
#include "Brinecore.h"
#include "receiver/FrameCheck.h"
#include "audio/WavReader.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

void PrintBlocks(const uint8_t* out, int32_t length, bool trace, int& good, int& bad)
{
    int32_t p = 0;
    while (p + 2 <= length) {
        const int32_t n = out[p] | out[p + 1] << 8;
        const uint8_t* content = out + p + 2;
        p += 2 + n;
        if (trace && n > 0 && content[0] == '*') {
            std::fwrite(content, 1, static_cast<size_t>(n), stdout);
            continue;
        }
        const bool ok = kelvane::ComputeFcs(std::span(content, static_cast<size_t>(n))) ==
                        kelvane::FcsGood;
        (ok ? good : bad) += 1;
        std::printf("frame %3d bytes, FCS %s:", n, ok ? "good" : "bad ");
        for (int32_t i = 0; i < n; ++i)
            std::printf(" %02x", content[i]);
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char** argv)
{
#if defined(_WIN32)
    // The same bytes as everywhere else: a WAV file on standard input must
    // not be cut at its first 0x1A or lose its CR bytes, and the listing must
    // not gain a CR before every line feed.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    bool trace = false;
    const char* fileName = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--trace") == 0)
            trace = true;
        else if (fileName == nullptr)
            fileName = argv[i];
        else
            fileName = "";
    }
    if (fileName == nullptr || fileName[0] == '\0') {
        std::fprintf(stderr, "usage: brinecore-dump [--trace] FILE.wav\n"
                             "Prints every frame Brinecore finds in an 8-bit mono WAV file\n"
                             "(\"-\" reads standard input); --trace adds the library's trace text.\n");
        return 2;
    }

    kelvane::WavReader reader;
    const std::string problem = reader.Open(fileName);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s - %s\n", fileName, problem.c_str());
        return 1;
    }
    std::array<uint8_t, kelvane::WavReader::BlockSize> samples{};
    std::array<uint8_t, BRINECORE_OUTPUT_CAPACITY> out{};
    int good = 0;
    int bad = 0;
    ReInit(0);
    for (;;) {
        const int32_t n = reader.Read(samples.data());
        if (n < 0) {
            std::fprintf(stderr, "%s - %s\n", fileName, reader.ReadError().c_str());
            return 1;
        }
        if (n == 0)
            break;
        int32_t peak = 0;
        const int32_t r = AudioToBytes(samples.data(), n, out.data(), reader.SampleRate(), 9600,
                                       &peak, trace ? 1 : 0);
        PrintBlocks(out.data(), r, trace, good, bad);
    }
    std::fprintf(stderr, "%d frames with a good FCS, %d with a bad one\n", good, bad);
    return 0;
}
