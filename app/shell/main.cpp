// Kelvane: the AIS receiver's window.
#include "shell/FileDialogs.h"
#include "shell/IniSettingsStore.h"
#include "shell/QtMainWindow.h"
#include "shell/QtMessageBoxes.h"

#include "audio/Capture.h"
#include "audio/WaveIn.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include <clocale>


int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("Kelvane");
    // The program ends when its window closes, not when a message box does
    // while the window sits in the tray.
    QApplication::setQuitOnLastWindowClosed(false);
    std::setlocale(LC_NUMERIC, "C");

    kelvane::QtMessageBoxes messages;
    // The sound card: the ring of buffers on the PortAudio wave-in layer.
    kelvane::PortAudioWaveIn waveIn;
    kelvane::Capture capture(waveIn, messages);
    kelvane::IniSettingsStore store;
    kelvane::DesktopServices desktop;
    QWidget* window = nullptr;
    desktop.ChooseReplayFile = [&window](const std::string& folder) {
        return kelvane::RunFileDialog(*kelvane::MakeReplayDialog(window, folder));
    };
    desktop.ChooseLogFile = [&window](const std::string& current) {
        return kelvane::RunFileDialog(*kelvane::MakeLogDialog(window, current));
    };
    desktop.CtrlHeld = [] {
        return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    };
    desktop.TrayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    kelvane::SetQtDesktopFolders(desktop);

    kelvane::QtMainWindow form(messages, capture, store, desktop);
    window = &form;
    messages.Parent = &form;
    form.Logic.Form_Load();
    return application.exec();
}
