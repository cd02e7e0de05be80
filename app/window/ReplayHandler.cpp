// Replay File: a recording through the receive chain, and the speed check.
#include "window/frmGMSK.h"

#include <chrono>
#include <filesystem>

namespace kelvane {

using C = Control;

namespace {

// The clock of the speed check, in whole seconds.
int64_t UnixSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void frmGMSK::cmdReplay_Click()
{
    if (ReplayActive) {
        // Stop Replay: the loop ends after the block in progress.
        ReplayActive = false;
        DemodTrace = 0;
        return;
    }
    View.SetTitle(VersionCaption());
    DemodTrace = Desktop.CtrlHeld() ? 1 : 0;
    ClearCounters();
    std::string folder = LastReplayDir;
    if (folder.empty()) {
        // The recordings that come with the program, else its own folder.
        const std::filesystem::path program = Desktop.ProgramFolder();
        const auto bundled = program.parent_path() / "share" / "kelvane" / "recordings";
        std::error_code ignored;
        folder = (std::filesystem::is_directory(bundled, ignored) ? bundled : program).string();
    }
    const std::string fileName = Desktop.ChooseReplayFile(folder);
    if (fileName.empty()) {
        View.SetEnabled(C::cmdStartMonitoring, true);
        return;
    }
    LastReplayDir = std::filesystem::path(fileName).parent_path().string() +
                    static_cast<char>(std::filesystem::path::preferred_separator);

    ReplayActive = true;
    View.SetText(C::cmdReplay, "Stop Replay");
    View.SetEnabled(C::cmdStartMonitoring, false);
    EnableSettings(false);
    Core.OpenOutputs(ChosenOutputs());
    View.SetTitle(VersionCaption() + " - " + fileName);

    const int64_t start = UnixSeconds();
    const std::string problem = ReplayWavFile(fileName);
    if (!problem.empty())
        Messages.Show(fileName + " - " + problem);
    // The replay doubles as a speed test: slower than the audio it holds
    // means live monitoring at this rate would fall behind.
    const int64_t elapsed = UnixSeconds() - start;
    if (SlowerThanRealTime(elapsed, WavDataBytes, {SampleRate, WavFormat.Channels, WavFormat.BitsPerSample}))
        Messages.Show("This machine is too slow for realtime monitoring at " +
                      std::to_string(SampleRate) + "!");

    CloseOutputs();
    View.SetEnabled(C::cmdStartMonitoring, true);
    View.SetText(C::cmdReplay, "Replay File");
    EnableSettings(true);
    ReplayActive = false;
}

std::string frmGMSK::ReplayWavFile(const std::string& fileName)
{
    // With two receivers the file may be 16-bit or stereo; with one it is
    // 8-bit mono, as it always was.
    const ReplayOutcome outcome =
        Core.Replay(fileName, Receivers == 2, ChosenReceiver(),
                    {.Opened = {}, .BetweenBlocks = [this] {
                         View.ProcessEvents();
                         return ReplayActive;
                     }});
    if (outcome.HeaderRead) {
        SampleRate = outcome.Format.SampleRate;
        WavDataBytes = outcome.WavDataBytes;
        WavFormat = outcome.Format;
    }
    return outcome.Problem;
}

}  // namespace kelvane
