// Replay File: a recording through the receive chain, and the speed check.
#include "frmGMSK.h"

#include "Replay.h"
#include "WindowCommon.h"

#include <QDateTime>
#include <QPushButton>

#include <filesystem>

namespace kelvane {

using namespace shell;

void frmGMSK::cmdReplay_Click()
{
    if (ReplayActive) {
        // Stop Replay: the loop ends after the block in progress.
        ReplayActive = false;
        DemodTrace = 0;
        return;
    }
    setWindowTitle(Q(VersionCaption()));
    DemodTrace = Desktop.CtrlHeld() ? 1 : 0;
    ClearCounters();
    std::string folder = LastReplayDir;
    if (folder.empty()) {
        // The recordings that come with the program, else its own folder.
        const auto bundled = ProgramFolder().parent_path() / "share" / "kelvane" / "recordings";
        std::error_code ignored;
        folder = (std::filesystem::is_directory(bundled, ignored) ? bundled : ProgramFolder()).string();
    }
    const std::string fileName = Desktop.ChooseReplayFile(folder);
    if (fileName.empty()) {
        cmdStartMonitoring->setEnabled(true);
        return;
    }
    LastReplayDir = std::filesystem::path(fileName).parent_path().string() + "/";

    ReplayActive = true;
    cmdReplay->setText("Stop Replay");
    cmdStartMonitoring->setEnabled(false);
    EnableSettings(false);
    OutputsControl.OpenOutputs();
    setWindowTitle(Q(VersionCaption() + " - " + fileName));

    const qint64 start = QDateTime::currentSecsSinceEpoch();
    const std::string problem = ReplayWavFile(fileName);
    if (!problem.empty())
        Messages.Show(fileName + " - " + problem);
    // The replay doubles as a speed test: slower than the audio it holds
    // means live monitoring at this rate would fall behind.
    const qint64 elapsed = QDateTime::currentSecsSinceEpoch() - start;
    if (SlowerThanRealTime(elapsed, WavDataBytes, {SampleRate, WavFormat.Channels, WavFormat.BitsPerSample}))
        Messages.Show("This machine is too slow for realtime monitoring at " +
                      std::to_string(SampleRate) + "!");

    CloseOutputs();
    cmdStartMonitoring->setEnabled(true);
    cmdReplay->setText("Replay File");
    EnableSettings(true);
    ReplayActive = false;
}

std::string frmGMSK::ReplayWavFile(const std::string& fileName)
{
    // With two receivers the file may be 16-bit or stereo; with one it is
    // 8-bit mono, as it always was.
    Chain.SwapChannels = SwapAB;
    const ReplayOutcome outcome =
        kelvane::ReplayWavFile(fileName, Receivers == 2, Chain, ChosenDemodulator(), DemodTrace,
                               {.Opened = {}, .BetweenBlocks = [this] {
                                   QCoreApplication::processEvents();
                                   OutputsControl.DeliverEvents();
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
