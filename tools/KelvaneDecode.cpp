// kelvane-decode: AIS sentences from a recording or a sound card, without a
// window. Runs the audio through the same station as the program, in blocks
// of 8192 frames, and writes every message's sentences to standard output
// exactly as the log file would hold them, and to the outputs asked for.
#include "DecodeOptions.h"
#include "StopRequest.h"

#include "ais/AisDecoder.h"
#include "ais/AisJson.h"
#include "audio/Capture.h"
#include "audio/WavWriter.h"
#include "audio/SystemWaveIn.h"
#include "station/Station.h"
#include "web/WebView.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using namespace kelvane;

// What the station says, as lines on standard error for a terminal or a
// service's journal, and the messages on standard output.
class ConsoleEvents : public StationEvents {
public:
    explicit ConsoleEvents(const DecodeOptions& options) : Options(options) {}

    // The web view, when one is open, is fed everything the station says.
    WebView* Web = nullptr;

    void Show(const std::string& text, MessageIcon, const std::string&) override
    {
        std::fprintf(stderr, "kelvane-decode: %s\n", text.c_str());
    }
    void OutputFailed(const OutputFailure& failure) override
    {
        std::fprintf(stderr, "kelvane-decode: %s: %s; going on without it\n", OptionOf(failure.Output),
                     failure.Problem.c_str());
    }
    // The window's red box lasts a second; here one line a second at most.
    void UdpSendFailed() override
    {
        const auto now = std::chrono::steady_clock::now();
        if (now - LastUdpFailure < std::chrono::seconds(1))
            return;
        LastUdpFailure = now;
        std::fprintf(stderr, "kelvane-decode: a UDP datagram could not be sent\n");
    }
    // A headless station's journal shows who came and went.
    void TcpServerClients(size_t, const std::string& event) override
    {
        std::fprintf(stderr, "kelvane-decode: TCP server: %s\n", event.c_str());
    }
    void TcpClientState(bool connected, const std::string& why) override
    {
        std::fprintf(stderr, "kelvane-decode: TCP %s: %s\n", Options.Outputs.TcpClientTarget.c_str(),
                     connected ? "connected" : ("waiting (" + why + ")").c_str());
    }
    void CounterChanged(Counter, const ReceiveCounters& counters) override
    {
        if (Web != nullptr)
            Web->Model().Counted(counters);
    }
    void LevelChanged(int32_t level) override
    {
        if (Web != nullptr)
            Web->Model().Level(level);
    }
    void MessageDecoded(const DecodedMessage& message) override
    {
        if (Web != nullptr)
            Web->Model().Heard(message.Bits, message.Sentences, message.Origin);
        if (Options.Quiet)
            return;
        if (Options.Json) {
            PrintJson(message);
            return;
        }
        std::fwrite(message.Logged.data(), 1, message.Logged.size(), stdout);
        // Flushed per message, so that a reader sees each at once.
        std::fflush(stdout);
    }

private:
    // --json: each message as one JSON object, gpsd's field names and the
    // program's own (channel, signal level), as the web view's API has them.
    static void PrintJson(const DecodedMessage& message)
    {
        const std::optional<AisRecord> record = DecodeAisMessage(message.Bits);
        if (!record)
            return;  // too short to name its sender
        const std::string line = DumpJson(MessageJson(*record, message.Origin)) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fflush(stdout);
    }

    const DecodeOptions& Options;
    std::chrono::steady_clock::time_point LastUdpFailure{};
};

void PrintCounters(const ReceiveCounters& c, int32_t channels)
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
void PrintOutputs(const OutputStats& s, const OutputSettings& outputs)
{
    if (outputs.Udp)
        std::fprintf(stderr, "UDP: %lld datagrams sent, %lld failed\n",
                     static_cast<long long>(s.UdpSent), static_cast<long long>(s.UdpFailed));
    if (outputs.TcpServer)
        std::fprintf(stderr,
                     "TCP server: %lld messages sent; clients: %lld served, %lld dropped for not reading, %lld refused\n",
                     static_cast<long long>(s.TcpServerBlocksSent),
                     static_cast<long long>(s.TcpServerClientsServed),
                     static_cast<long long>(s.TcpServerClientsDropped),
                     static_cast<long long>(s.TcpServerClientsRefused));
    if (outputs.TcpClient)
        std::fprintf(stderr, "TCP %s: %lld messages sent, %lld dropped, %lld reconnects\n",
                     outputs.TcpClientTarget.c_str(), static_cast<long long>(s.TcpClientBlocksSent),
                     static_cast<long long>(s.TcpClientBlocksDropped),
                     static_cast<long long>(s.TcpClientReconnects));
}

void PrintFrameChecks(const Station& station)
{
    if (station.ActiveDemodulator() == Demodulator::Burst)
        std::fprintf(stderr, "Frame checks: %lld\n", static_cast<long long>(station.FrameChecks()));
}

// What the web view says about the stream, once it has started.
void TellStream(WebView* web, const Station& station)
{
    if (web == nullptr)
        return;
    const Demodulator active = station.ActiveDemodulator();
    web->Model().StreamStarted({active == Demodulator::Burst     ? "burst"
                                : active == Demodulator::Builtin ? "builtin"
                                                                 : "library",
                                station.Format().Channels, station.Format().SampleRate});
}

ReceiverSettings ChosenReceiver(const DecodeOptions& options)
{
    ReceiverSettings receiver;
    receiver.Demod = options.Demod == "burst"     ? Demodulator::Burst
                     : options.Demod == "builtin" ? Demodulator::Builtin
                                                  : Demodulator::Library;
    receiver.SwapChannels = options.SwapChannels;
    receiver.BurstRepair = options.Repair;
    receiver.TraceFlag = options.Trace ? 1 : 0;
    return receiver;
}

// Until interrupted: every 250 ms, as the window's monitoring timer, an
// overrun when the whole ring waits, then the filled buffers in ring order.
int DecodeLive(const DecodeOptions& options, Station& station, ConsoleEvents& events)
{
    station.OpenOutputs(options.Outputs);
    SystemWaveIn layer;
    Capture capture(layer, events);
    int32_t rate = options.Rate;
    if (!capture.OpenWaveIn(rate, options.Device, options.Stereo ? 2 : 1)) {
        station.CloseOutputs();
        return 1;
    }
    WavWriter recording;
    bool recordingFailed = false;
    if (!options.RecordPath.empty()) {
        const std::string problem = recording.Open(options.RecordPath, capture.CaptureFormat());
        if (!problem.empty()) {
            capture.CloseWaveIn();
            station.CloseOutputs();
            events.Show(problem, MessageIcon::None, {});
            return 1;
        }
        capture.BufferTap = [&](std::span<const uint8_t> samples) {
            if (!recording.Write(samples) && !std::exchange(recordingFailed, true))
                events.Show(recording.Problem(), MessageIcon::None, {});
        };
    }
    station.Start(capture.CaptureFormat(), ChosenReceiver(options));
    TellStream(events.Web, station);
    CatchStopRequests();
    const auto start = std::chrono::steady_clock::now();
    auto tick = start;
    while (!StopRequested()) {
        tick += std::chrono::milliseconds(250);
        while (!StopRequested() && std::chrono::steady_clock::now() < tick)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        station.CaptureTick(capture, [] {});
    }
    capture.CloseWaveIn();
    station.Finish();
    station.CloseOutputs();
    PrintOutputs(station.Stats(), options.Outputs);
    int status = 0;
    if (const std::string problem = recording.Close(); !problem.empty() && !recordingFailed) {
        events.Show(problem, MessageIcon::None, {});
        status = 1;
    }
    PrintCounters(station.Counters(), capture.CaptureFormat().Channels);
    PrintFrameChecks(station);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "Overruns: %d\n%.1f s live from device %d at %d Hz\n",
                 station.Counters().OverrunCount, elapsed.count(), options.Device, rate);
    std::fflush(stdout);
    StopHandled();
    return status;
}

int DecodeFile(const DecodeOptions& options, Station& station, ConsoleEvents& events)
{
    const auto start = std::chrono::steady_clock::now();
    bool streamTold = false;
    std::function<bool()> betweenBlocks;
    if (events.Web != nullptr)
        betweenBlocks = [&] {
            if (!std::exchange(streamTold, true))
                TellStream(events.Web, station);
            return true;
        };
    const ReplayOutcome replay = station.Replay(options.File, true, ChosenReceiver(options),
                                                {.Opened = [&] { station.OpenOutputs(options.Outputs); },
                                                 .BetweenBlocks = betweenBlocks});
    if (!replay.Problem.empty())
        std::fprintf(stderr, "%s - %s\n", options.File.c_str(), replay.Problem.c_str());
    if (!replay.HeaderRead)
        return 1;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    station.CloseOutputs();
    PrintOutputs(station.Stats(), options.Outputs);
    PrintCounters(station.Counters(), replay.Format.Channels);
    const double audioSeconds = static_cast<double>(replay.BytesRead) /
                                replay.Format.FrameBytes() / replay.Format.SampleRate;
    const double speed = elapsed.count() > 0 ? audioSeconds / elapsed.count() : 0;
    std::fprintf(stderr, "%.2f s of audio in %.3f s: %.0f \xC3\x97 real time\n", audioSeconds,
                 elapsed.count(), speed);
    PrintFrameChecks(station);
    return replay.Problem.empty() ? 0 : 1;
}

// --keep-serving: the page stays up after the file's end until interrupted.
void ServeUntilInterrupted()
{
    CatchStopRequests();
    std::fprintf(stderr, "kelvane-decode: the file has ended; serving the web view until interrupted\n");
    while (!StopRequested())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // The same bytes as on Linux: a WAV file on standard input must not end
    // at its first 0x1A or lose its CR bytes, and the sentences (which end in
    // CR LF) and the JSON lines must not gain a CR before every line feed.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
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
        SystemWaveIn layer;
        const std::vector<std::string> names = layer.DeviceNames();
        for (size_t i = 0; i < names.size(); ++i)
            std::printf("%zu: %s\n", i, names[i].c_str());
        return 0;
    }

    ConsoleEvents events(options);
    WebView web;
    if (options.Http) {
        WebViewSettings settings;
        settings.Address = options.HttpAddress;
        if (options.HasStation)
            settings.Station = Position{options.StationLat, options.StationLon};
        const std::string problem = web.Open(settings);
        if (!problem.empty()) {
            // A station asked to show itself and cannot: better to fail at
            // once than to run unseen.
            std::fprintf(stderr, "kelvane-decode: %s\n", problem.c_str());
            return 1;
        }
        events.Web = &web;
        std::fprintf(stderr, "kelvane-decode: web view on %s\n", web.Url().c_str());
    }
    Station station(events);
    // A station's journal shows clients and the push target as they come
    // and go, even while the decoder waits for its input: what the network
    // outputs say is printed from their thread at once (only lines on
    // standard error).
    station.EventsWaiting = [&station] { station.DeliverEvents(); };
    station.TraceText = [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); };
    if (options.Device >= 0)
        return DecodeLive(options, station, events);
    const int status = DecodeFile(options, station, events);
    if (options.KeepServing && status == 0)
        ServeUntilInterrupted();
    return status;
}
