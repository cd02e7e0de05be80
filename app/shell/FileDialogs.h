// The window's two file dialogs, and the folders, as the desktop gives them.
#pragma once

#include "window/Desktop.h"

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

// The program's folder, the user's data folder (…/share/Kelvane), and a
// raised priority, as Qt and the system give them.
void SetQtDesktopFolders(DesktopServices& desktop);

}  // namespace kelvane
