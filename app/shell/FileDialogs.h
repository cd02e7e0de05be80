// The window's two file dialogs, as the desktop shows them.
#pragma once

#include <QFileDialog>

#include <memory>
#include <string>

namespace kelvane {

// "Select Wav File": an existing .wav file, opening on folder; a name typed
// without an extension gets ".wav".
std::unique_ptr<QFileDialog> MakeReplayDialog(QWidget* parent, const std::string& folder);

// "Select Logfile": any file name, ".log" added when none is typed.
std::unique_ptr<QFileDialog> MakeLogDialog(QWidget* parent, const std::string& current);

// The dialog's choice, or "" when it was cancelled.
std::string RunFileDialog(QFileDialog& dialog);

}  // namespace kelvane
