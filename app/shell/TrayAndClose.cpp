// Closing the window, and minimised running in the tray.
#include "shell/frmGMSK.h"

#include "shell/WindowCommon.h"

#include <QCloseEvent>
#include <QSystemTrayIcon>
#include <QTimer>

namespace kelvane {

using namespace shell;

bool frmGMSK::Form_QueryUnload()
{
    if (Dispatching) {
        // Stop and close once the dispatch in progress has finished.
        CloseAfterDispatch = true;
        return false;
    }
    if (MonitoringActive)
        cmdStartMonitoring_Click();
    if (ReplayActive) {
        ReplayActive = false;
        return false;
    }
    return true;
}

void frmGMSK::Form_Unload()
{
    if (Unloaded)
        return;
    Unloaded = true;
    SaveSettings();
    Tray->hide();
}

void frmGMSK::closeEvent(QCloseEvent* event)
{
    if (!Form_QueryUnload()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
    QCoreApplication::quit();
}

void frmGMSK::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void frmGMSK::Form_Resize()
{
    // Without a tray the window could never come back: it stays minimised
    // on the task bar instead of hiding.
    if (!isMinimized() || !Desktop.TrayAvailable())
        return;
    Tray->show();
    // Hidden after the state change has settled.
    QTimer::singleShot(0, this, [this] {
        if (isMinimized())
            hide();
    });
}

void frmGMSK::mnuShow_Click()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    Tray->hide();
    show();
}

void frmGMSK::mnuExit_Click()
{
    // The program ends in every case; a replay that refuses the close only
    // means the settings are not written.
    close();
    ReplayActive = false;
    QCoreApplication::quit();
}

}  // namespace kelvane
