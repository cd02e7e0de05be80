// kelvane-decode: AIS sentences from a recording or a sound card, without a
// window. Runs the audio through the same receive chain and the same loops
// as the program, in blocks of 8192 frames, and writes every message's
// sentences to standard output exactly as the log file would hold them, and
// to the outputs asked for.
#include "BrinecoreLibrary.h"
#include "Capture.h"
#include "ConsoleSeams.h"
#include "DecodeOptions.h"
#include "OutputControl.h"
#include "OutputDispatch.h"
#include "ReceiveChain.h"
#include "ReceiveCounters.h"
#include "SentenceEncoder.h"
#include "SentenceFanout.h"
#include "Replay.h"
#include "WavWriter.h"
#include "WaveIn.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::atomic<bool> StopRequested{false};
bool RecordingFailed = false;

extern "C" void RequestStop(int) { StopRequested = true; }

void PrintCounters(const kelvane::ReceiveCounters& c, int32_t channels)
{
    std::fprintf(stderr,
                 "Syncs: %d\nValid: %d\nErrors: %d\nPreSyncs: %d\n"
                 "1, 2, 3: %d\n5: %d\n18, 19: %d\n24: %d\nOther: %d\n",
                 c.SyncCount, c.ValidCount, c.ErrorCount, c.PreSyncCount, c.MsgCount123,
                 c.MsgCount5, c.MsgCount1819, c.MsgCount24, c.MsgCountOther);
    if (channels == 2)
        std::fprintf(stderr, "Valid A: %d\nValid B: %d\n", c.ValidCountA, c.ValidCountB);
}

// What each network output did, for a station's journal.
void PrintOutputs(const kelvane::OutputControl& outputs, const kelvane::DecodeOptions& options)
{
    if (options.UseUdp)
        std::fprintf(stderr, "UDP: %lld datagrams sent, %lld failed\n",
                     static_cast<long long>(outputs.Udp.Sent), static_cast<long long>(outputs.Udp.Failed));
    if (!options.TcpServer.empty())
        std::fprintf(stderr, "TCP server: %lld messages sent; clients: %lld served, %lld dropped for not reading, %lld refused\n",
                     static_cast<long long>(outputs.TcpServer.BlocksSent),
                     static_cast<long long>(outputs.TcpServer.ClientsServed),
                     static_cast<long long>(outputs.TcpServer.ClientsDropped),
                     static_cast<long long>(outputs.TcpServer.ClientsRefused));
    if (!options.TcpClient.empty())
        std::fprintf(stderr, "TCP %s: %lld messages sent, %lld dropped, %lld reconnects\n",
                     options.TcpClient.c_str(), static_cast<long long>(outputs.TcpClient.BlocksSent),
                     static_cast<long long>(outputs.TcpClient.BlocksDropped),
                     static_cast<long long>(outputs.TcpClient.Reconnects));
}

void PrintFrameChecks(const kelvane::ReceiveChain& chain)
{
    if (chain.ActiveDemodulator() == kelvane::Demodulator::Burst)
        std::fprintf(stderr, "Frame checks: %lld\n", static_cast<long long>(chain.FrameChecks()));
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

    ConsoleView view;
    ConsoleMessages messages;
    ConsoleOutputOptions outputOptions(options);
    OutputSettings settings{options.UseSerial, options.UseLog, options.UseUdp,
                            !options.TcpServer.empty(), !options.TcpClient.empty(),
                            !options.StationName.empty()};
    OutputControl outputs(outputOptions, messages, settings);
    OutputDispatch dispatch(outputs, messages);
    JsonPrinter json;
    json.On = options.Json && !options.Quiet;
    SentenceFanout toAll{&dispatch, &json};
    if (!options.Quiet && !options.Json) {
        dispatch.Mirror = [](std::string_view block) {
            // Flushed per message, so that a reader sees each at once.
            std::fwrite(block.data(), 1, block.size(), stdout);
            std::fflush(stdout);
        };
    }
    ReceiveCounters counters(view);
    SentenceEncoder encoder(counters, toAll);
    BrinecoreLibrary library;
    ReceiveChain chain(counters, view, encoder, messages, library);
    chain.TraceText = [](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stderr);
    };
    chain.SwapChannels = options.SwapChannels;
    chain.BurstRepair = options.Repair;

    const Demodulator demodulator = options.Demod == "burst"     ? Demodulator::Burst
                                    : options.Demod == "builtin" ? Demodulator::Builtin
                                                                 : Demodulator::Library;
    const int32_t traceFlag = options.Trace ? 1 : 0;
    if (options.Device >= 0) {
        // The window's monitoring loop: every 250 ms, an overrun when the
        // whole ring waits, then the filled buffers in ring order.
        outputs.OpenOutputs();
        PortAudioWaveIn layer;
        Capture capture(layer, messages);
        int32_t rate = options.Rate;
        if (!capture.OpenWaveIn(rate, options.Device, options.Stereo ? 2 : 1)) {
            outputs.CloseOutputs();
            messages.Show("Start Monitoring Failed!", MessageIcon::None, "");
            return 1;
        }
        WavWriter recording;
        if (!options.RecordPath.empty()) {
            const std::string problem = recording.Open(options.RecordPath, capture.CaptureFormat());
            if (!problem.empty()) {
                capture.CloseWaveIn();
                outputs.CloseOutputs();
                messages.Show(problem, MessageIcon::None, "");
                return 1;
            }
            capture.BufferTap = [&](std::span<const uint8_t> samples) {
                if (!recording.Write(samples) && !std::exchange(RecordingFailed, true))
                    messages.Show(recording.Problem(), MessageIcon::None, "");
            };
        }
        chain.Start(capture.CaptureFormat(), demodulator, traceFlag);
        std::signal(SIGINT, RequestStop);
        std::signal(SIGTERM, RequestStop);
        const auto start = std::chrono::steady_clock::now();
        auto tick = start;
        while (!StopRequested) {
            tick += std::chrono::milliseconds(250);
            // The network outputs serve themselves on their own thread;
            // what they report (clients coming, reconnections) is printed
            // while the loop waits.
            while (!StopRequested && std::chrono::steady_clock::now() < tick) {
                outputs.DeliverEvents();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            CaptureTick(capture, chain, [&] { outputs.DeliverEvents(); });
        }
        capture.CloseWaveIn();
        chain.Finish();
        outputs.CloseOutputs();
        PrintOutputs(outputs, options);
        int status = 0;
        if (const std::string problem = recording.Close(); !problem.empty() && !RecordingFailed) {
            messages.Show(problem, MessageIcon::None, "");
            status = 1;
        }
        PrintCounters(counters, capture.CaptureFormat().Channels);
        PrintFrameChecks(chain);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        std::fprintf(stderr, "Overruns: %d\n%.1f s live from device %d at %d Hz\n",
                     counters.OverrunCount, elapsed.count(), options.Device, rate);
        return status;
    }

    const auto start = std::chrono::steady_clock::now();
    // What the network outputs report is printed between blocks.
    const ReplayOutcome replay = ReplayWavFile(options.File, true, chain, demodulator, traceFlag,
                                               {.Opened = [&] { outputs.OpenOutputs(); },
                                                .BetweenBlocks = [&] {
                                                    outputs.DeliverEvents();
                                                    return true;
                                                }});
    if (!replay.Problem.empty())
        std::fprintf(stderr, "%s - %s\n", options.File.c_str(), replay.Problem.c_str());
    if (!replay.HeaderRead)
        return 1;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    outputs.CloseOutputs();
    PrintOutputs(outputs, options);
    PrintCounters(counters, replay.Format.Channels);
    const double audioSeconds = static_cast<double>(replay.BytesRead) /
                                replay.Format.FrameBytes() / replay.Format.SampleRate;
    const double speed = elapsed.count() > 0 ? audioSeconds / elapsed.count() : 0;
    std::fprintf(stderr, "%.2f s of audio in %.3f s: %.0f \xC3\x97 real time\n", audioSeconds,
                 elapsed.count(), speed);
    PrintFrameChecks(chain);
    return replay.Problem.empty() ? 0 : 1;
}
