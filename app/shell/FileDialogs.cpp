#include "shell/FileDialogs.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <filesystem>

#include <sys/resource.h>

namespace kelvane {

std::unique_ptr<QFileDialog> MakeReplayDialog(QWidget* parent, const std::string& folder)
{
    auto dialog = std::make_unique<QFileDialog>(parent, "Select Wav File", QString::fromStdString(folder), "*.wav");
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setOption(QFileDialog::ReadOnly);
    dialog->setDefaultSuffix("wav");
    return dialog;
}

std::unique_ptr<QFileDialog> MakeLogDialog(QWidget* parent, const std::string& current)
{
    auto dialog = std::make_unique<QFileDialog>(parent, "Select Logfile", QString::fromStdString(current), "*.log");
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix("log");
    dialog->selectFile(QString::fromStdString(current));
    return dialog;
}

std::string RunFileDialog(QFileDialog& dialog)
{
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0).toStdString() : std::string();
}

void SetQtDesktopFolders(DesktopServices& desktop)
{
    desktop.ProgramFolder = [] {
        return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
    };
    desktop.DataFolder = [] {
        return std::filesystem::path(
                   QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString()) /
               "Kelvane";
    };
    // Allowed only to some users; decoding keeps pace without it on most
    // machines.
    desktop.RaisePriority = [] { setpriority(PRIO_PROCESS, 0, -10); };
}

}  // namespace kelvane
