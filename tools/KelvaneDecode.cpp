// kelvane-decode: AIS sentences from a recording, without a window. Runs a
// WAV file through the same receive chain as the program, in blocks of 8192
// samples, and writes every message's sentences to standard output exactly
// as the log file would hold them.
#include "BrinecoreLibrary.h"
#include "MessageBoxes.h"
#include "ReceiveChain.h"
#include "ReceiveCounters.h"
#include "ReceiverView.h"
#include "SentenceEncoder.h"
#include "WavReader.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* Usage =
    "usage: kelvane-decode [--builtin] [--trace] FILE.wav\n";

constexpr const char* Help =
    "usage: kelvane-decode [OPTIONS] FILE.wav\n"
    "\n"
    "Decodes AIS messages from a recording of a VHF receiver's discriminator\n"
    "output (8-bit unsigned mono WAV, any sample rate; FILE \"-\" reads the WAV\n"
    "from standard input) and writes their !AIVDM sentences to standard output,\n"
    "each ending CR LF, exactly as the program's log file holds them.\n"
    "\n"
    "Options:\n"
    "  --builtin   demodulate with the program's built-in demodulator instead of\n"
    "              the Brinecore library\n"
    "  --trace     ask the Brinecore library for its trace (text on standard\n"
    "              error, bit trace in $XDG_STATE_HOME/Kelvane/debug.txt)\n"
    "  --help      show this text\n"
    "\n"
    "The library is loaded by name from the program's folder, then the system's\n"
    "search path; if it cannot be loaded, a message says so and the built-in\n"
    "demodulator serves.\n"
    "\n"
    "At the end the counters (Syncs, Valid, Errors, PreSyncs and the message\n"
    "types) and the speed as \"x real time\" go to standard error.\n"
    "\n"
    "Exit status: 0 when the file was read to its end, 1 when it could not be\n"
    "read (the message names the file), 2 for bad usage.\n";

struct Options {
    bool Builtin = false;
    bool Trace = false;
    bool Help = false;
    std::string File;
};

// Returns an empty text on success, else what is wrong with the arguments.
std::string ParseArguments(int argc, char** argv, Options& options)
{
    bool haveFile = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--builtin") {
            options.Builtin = true;
        } else if (arg == "--trace") {
            options.Trace = true;
        } else if (arg == "--help" || arg == "-h") {
            options.Help = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (haveFile) {
            return "only one file can be decoded at a time";
        } else {
            options.File = arg;
            haveFile = true;
        }
    }
    if (!haveFile && !options.Help)
        return "no file given";
    return {};
}

class ConsoleView : public kelvane::ReceiverView {
public:
    void SetCaption(kelvane::CounterLabel, const std::string&) override {}
    void SetLevel(int) override {}
    bool IsHidden() const override { return false; }
    void SetTrayTip(const std::string&) override {}
};

class ConsoleMessages : public kelvane::MessageBoxes {
public:
    void Show(const std::string& text, kelvane::MessageIcon, const std::string&) override
    {
        std::fprintf(stderr, "kelvane-decode: %s\n", text.c_str());
    }
};

// Standard output, flushed per message so that a reader sees each at once.
class StdoutSink : public kelvane::SentenceSink {
public:
    void Deliver(std::string_view block) override
    {
        std::fwrite(block.data(), 1, block.size(), stdout);
        std::fflush(stdout);
    }
};

void PrintSummary(const kelvane::ReceiveCounters& c, double audioSeconds, double elapsed)
{
    std::fprintf(stderr,
                 "Syncs: %d\nValid: %d\nErrors: %d\nPreSyncs: %d\n"
                 "1, 2, 3: %d\n5: %d\n18, 19: %d\n24: %d\nOther: %d\n",
                 c.SyncCount, c.ValidCount, c.ErrorCount, c.PreSyncCount, c.MsgCount123,
                 c.MsgCount5, c.MsgCount1819, c.MsgCount24, c.MsgCountOther);
    const double speed = elapsed > 0 ? audioSeconds / elapsed : 0;
    std::fprintf(stderr, "%.2f s of audio in %.3f s: %.0f \xC3\x97 real time\n", audioSeconds,
                 elapsed, speed);
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    const std::string problem = ParseArguments(argc, argv, options);
    if (!problem.empty()) {
        std::fprintf(stderr, "kelvane-decode: %s\n%s", problem.c_str(), Usage);
        return 2;
    }
    if (options.Help) {
        std::fputs(Help, stdout);
        return 0;
    }

    kelvane::WavReader reader;
    const std::string openProblem = reader.Open(options.File);
    if (!openProblem.empty()) {
        std::fprintf(stderr, "%s - %s\n", options.File.c_str(), openProblem.c_str());
        return 1;
    }

    ConsoleView view;
    ConsoleMessages messages;
    StdoutSink sink;
    kelvane::ReceiveCounters counters(view);
    kelvane::SentenceEncoder encoder(counters, sink);
    kelvane::BrinecoreLibrary library;
    kelvane::ReceiveChain chain(counters, view, encoder, messages, library);
    chain.TraceText = [](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stderr);
    };
    chain.Start(reader.SampleRate(), !options.Builtin, options.Trace ? 1 : 0);

    std::vector<uint8_t> block(kelvane::WavReader::BlockSize);
    int64_t samples = 0;
    int status = 0;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const int32_t n = reader.Read(block.data());
        if (n < 0) {
            std::fprintf(stderr, "%s - %s\n", options.File.c_str(), reader.ReadError().c_str());
            status = 1;
            break;
        }
        if (n == 0)
            break;
        chain.ProcessBlock(std::span(block).first(static_cast<size_t>(n)));
        samples += n;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    PrintSummary(counters, static_cast<double>(samples) / reader.SampleRate(), elapsed.count());
    return status;
}
