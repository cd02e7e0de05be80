// kelvane-decode: AIS sentences from a recording, without a window. Runs a
// WAV file through the same receive chain as the program, in blocks of 8192
// samples, and writes every message's sentences to standard output exactly
// as the log file would hold them, and to the outputs asked for.
#include "BrinecoreLibrary.h"
#include "Capture.h"
#include "ConsoleSeams.h"
#include "DecodeOptions.h"
#include "OutputControl.h"
#include "OutputDispatch.h"
#include "ReceiveChain.h"
#include "ReceiveCounters.h"
#include "SentenceEncoder.h"
#include "WavReader.h"
#include "WaveIn.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> StopRequested{false};

extern "C" void RequestStop(int) { StopRequested = true; }

void PrintCounters(const kelvane::ReceiveCounters& c)
{
    std::fprintf(stderr,
                 "Syncs: %d\nValid: %d\nErrors: %d\nPreSyncs: %d\n"
                 "1, 2, 3: %d\n5: %d\n18, 19: %d\n24: %d\nOther: %d\n",
                 c.SyncCount, c.ValidCount, c.ErrorCount, c.PreSyncCount, c.MsgCount123,
                 c.MsgCount5, c.MsgCount1819, c.MsgCount24, c.MsgCountOther);
}

void PrintSummary(const kelvane::ReceiveCounters& c, double audioSeconds, double elapsed)
{
    PrintCounters(c);
    const double speed = elapsed > 0 ? audioSeconds / elapsed : 0;
    std::fprintf(stderr, "%.2f s of audio in %.3f s: %.0f \xC3\x97 real time\n", audioSeconds,
                 elapsed, speed);
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace kelvane;
    DecodeOptions options;
    const std::string problem =
        ParseDecodeOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (!problem.empty()) {
        std::fprintf(stderr, "kelvane-decode: %s\n%s", problem.c_str(), DecodeUsage);
        return 2;
    }
    if (options.Help) {
        std::fputs(DecodeHelp, stdout);
        return 0;
    }
    if (options.ListDevices) {
        PortAudioWaveIn layer;
        const std::vector<std::string> names = layer.DeviceNames();
        for (size_t i = 0; i < names.size(); ++i)
            std::printf("%zu: %s\n", i, names[i].c_str());
        return 0;
    }

    QCoreApplication application(argc, argv);
    // Qt takes the user's locale; numbers printed here keep a decimal point.
    std::setlocale(LC_NUMERIC, "C");

    const bool live = options.Device >= 0;
    WavReader reader;
    if (!live) {
        const std::string openProblem = reader.Open(options.File);
        if (!openProblem.empty()) {
            std::fprintf(stderr, "%s - %s\n", options.File.c_str(), openProblem.c_str());
            return 1;
        }
    }

    ConsoleView view;
    ConsoleMessages messages;
    ConsoleOutputOptions outputOptions(options);
    OutputSettings settings{options.UseSerial, options.UseLog, options.UseUdp};
    OutputControl outputs(outputOptions, messages, settings);
    OutputDispatch dispatch(outputs, messages);
    ConsoleSink sink(options.Quiet, dispatch);
    ReceiveCounters counters(view);
    SentenceEncoder encoder(counters, sink);
    BrinecoreLibrary library;
    ReceiveChain chain(counters, view, encoder, messages, library);
    chain.TraceText = [](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stderr);
    };

    const Demodulator demodulator = options.Demod == "burst"     ? Demodulator::Burst
                                    : options.Demod == "builtin" ? Demodulator::Builtin
                                                                 : Demodulator::Library;
    chain.Burst.Repair = options.Repair;
    outputs.OpenOutputs();
    if (live) {
        // The window's monitoring loop: every 250 ms, an overrun when the
        // whole ring waits, then the filled buffers in ring order.
        PortAudioWaveIn layer;
        Capture capture(layer, messages);
        int32_t rate = options.Rate;
        if (!capture.OpenWaveIn(rate, options.Device)) {
            outputs.CloseOutputs();
            messages.Show("Start Monitoring Failed!", MessageIcon::None, "");
            return 1;
        }
        chain.Start(rate, demodulator, options.Trace ? 1 : 0);
        std::signal(SIGINT, RequestStop);
        std::signal(SIGTERM, RequestStop);
        const auto start = std::chrono::steady_clock::now();
        auto tick = start;
        while (!StopRequested) {
            tick += std::chrono::milliseconds(250);
            while (!StopRequested && std::chrono::steady_clock::now() < tick)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (capture.FilledBuffers() >= Capture::RingSize)
                counters.AddOverrun();
            if (capture.FilledBuffers() > 0)
                capture.DispatchFilledBuffers(chain, [] { QCoreApplication::processEvents(); });
        }
        capture.CloseWaveIn();
        chain.Finish();
        outputs.CloseOutputs();
        PrintCounters(counters);
        if (demodulator == Demodulator::Burst)
            std::fprintf(stderr, "Frame checks: %lld\n", static_cast<long long>(chain.Burst.FcsEvaluations));
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        std::fprintf(stderr, "Overruns: %d\n%.1f s live from device %d at %d Hz\n",
                     counters.OverrunCount, elapsed.count(), options.Device, rate);
        return 0;
    }

    chain.Start(reader.SampleRate(), demodulator, options.Trace ? 1 : 0);
    std::vector<uint8_t> block(WavReader::BlockSize);
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
    chain.Finish();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    outputs.CloseOutputs();
    PrintSummary(counters, static_cast<double>(samples) / reader.SampleRate(), elapsed.count());
    if (demodulator == Demodulator::Burst)
        std::fprintf(stderr, "Frame checks: %lld\n", static_cast<long long>(chain.Burst.FcsEvaluations));
    return status;
}
