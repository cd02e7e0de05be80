// Brinecore fed arbitrary samples in arbitrary block sizes, tracing on and
// off, at arbitrary rates: the output never passes the caller's buffer, is
// always a sequence of well-formed blocks, and is byte for byte what the
// demodulator gave before its scan was rewritten for speed (its reference
// copy), as are the peaks and the trace files.
#include "DemodContext.h"
#include "ReferenceDemodContext.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

uint32_t Take(const uint8_t*& data, size_t& size, size_t bytes)
{
    uint32_t value = 0;
    for (size_t i = 0; i < bytes && size > 0; ++i, ++data, --size)
        value = value << 8 | *data;
    return value;
}

void CheckBlocks(const uint8_t* out, int32_t length, bool tracing)
{
    if (length < 0 || length > brinecore::OutputCapacity)
        std::abort();
    int32_t p = 0;
    while (p < length) {
        if (p + 2 > length)
            std::abort();
        const int32_t n = out[p] | out[p + 1] << 8;
        if (p + 2 + n > length)
            std::abort();
        const uint8_t* content = out + p + 2;
        const bool text = tracing && n > 1 && content[0] == '*' && content[n - 1] == '\n';
        if (!text && n > brinecore::MaxFrameLength)
            std::abort();
        p += 2 + n;
    }
}

std::filesystem::path TraceFolder;

std::string FileText(const char* name)
{
    std::ifstream file(TraceFolder / "Kelvane" / name, std::ios::binary);
    if (!file)
        return "(none)";
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void CheckTraceFiles()
{
    if (FileText("fuzz-fast.txt") != FileText("fuzz-reference.txt"))
        std::abort();
}

}  // namespace

// The trace files go to a scratch folder, not to the user's.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char folder[] = "/tmp/kelvane-fuzz-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        std::abort();
    TraceFolder = folder;
    setenv("XDG_STATE_HOME", folder, 1);
    std::atexit([] {
        std::error_code error;
        std::filesystem::remove_all(TraceFolder, error);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int32_t Rates[] = {48000, 44100, 50000, 22050, 9600, 2400, 1, 0, -1, 192000};
    const uint32_t settings = Take(data, size, 2);
    const bool tracing = (settings & 1) != 0;
    int32_t rate = Rates[(settings >> 1) % 10];
    if (((settings >> 5) & 7) == 7)
        rate = static_cast<int32_t>(Take(data, size, 4));
    const int32_t baud = ((settings >> 8) & 15) == 15 ? static_cast<int32_t>(Take(data, size, 4)) : 9600;

    brinecore::DemodContext demod("fuzz-fast.txt");
    demod.UseVectorScan((settings & 0x1000) == 0);
    brinecore::reference::DemodContext reference("fuzz-reference.txt");
    std::vector<uint8_t> out(brinecore::OutputCapacity + 16, 0xA5);
    std::vector<uint8_t> expected(out.size(), 0xA5);
    while (size > 0) {
        // Each block: a length, then that many samples (or what is left).
        // A few blocks are stretched by repeating their samples, as a caller
        // passing more than 8192 samples would.
        const uint32_t header = Take(data, size, 2);
        const size_t wanted = header & 0x3FFF;
        const size_t n = wanted < size ? wanted : size;
        std::vector<uint8_t> block(data, data + n);
        data += n;
        size -= n;
        if ((header & 0x8000) != 0 && !block.empty())
            for (size_t copies = 0; copies < 8; ++copies)
                block.insert(block.end(), block.begin(), block.begin() + static_cast<long>(n));
        int32_t peak = -1;
        int32_t expectedPeak = -1;
        const auto count = static_cast<int32_t>(block.size());
        const int32_t written = demod.AudioToBytes(block.data(), count, out.data(), rate, baud,
                                                   &peak, tracing ? 1 : 0);
        const int32_t expectedWritten = reference.AudioToBytes(
            block.data(), count, expected.data(), rate, baud, &expectedPeak, tracing ? 1 : 0);
        CheckBlocks(out.data(), written, tracing);
        for (size_t i = brinecore::OutputCapacity; i < out.size(); ++i)
            if (out[i] != 0xA5)
                std::abort();
        if (written != expectedWritten || peak != expectedPeak || out != expected)
            std::abort();
        if ((header & 0x4000) != 0) {
            // A traced initialisation starts the files afresh.
            if (tracing)
                CheckTraceFiles();
            demod.ReInit(0);
            reference.ReInit(0);
        }
    }
    if (tracing)
        CheckTraceFiles();
    return 0;
}
