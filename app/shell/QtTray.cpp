// Closing the window, and minimised running in the tray: how Qt and the
// desktop's tray play together.
#include "shell/QtMainWindow.h"

#include "shell/WindowCommon.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>

namespace kelvane {

using namespace shell;

void QtMainWindow::closeEvent(QCloseEvent* event)
{
    if (!Logic.Form_QueryUnload()) {
        event->ignore();
        return;
    }
    Logic.Form_Unload();
    TrayWatch->stop();
    Tray->hide();
    event->accept();
    QCoreApplication::quit();
}

void QtMainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void QtMainWindow::Form_Resize()
{
    if (!isMinimized()) {
        // Restored, from the tray or the task bar: the icon goes with the
        // minimised window.
        TrayWatch->stop();
        Tray->hide();
        return;
    }
    // The icon is shown even while there is no tray: Qt puts it into a tray
    // that starts later (a panel started after the autostart programs) or
    // starts again. The watch then moves the window in or out of the tray.
    Tray->show();
    TrayWatch->start();
    // Without a tray the window could never come back: it stays minimised
    // on the task bar instead of hiding.
    if (!TrayAvailable())
        return;
    // Hidden after the state change has settled.
    QTimer::singleShot(0, this, [this] {
        if (isMinimized())
            hide();
    });
}

void QtMainWindow::TrayWatch_Timer()
{
    if (!isMinimized()) {
        TrayWatch->stop();
        return;
    }
    const bool trayAvailable = TrayAvailable();
    if (trayAvailable && isVisible()) {
        // A tray has appeared and holds the icon: the window goes there.
        hide();
    } else if (!trayAvailable && !isVisible()) {
        // The tray has gone, and the icon with it: a hidden window could
        // never be brought back, so it waits on the task bar instead. Mapped
        // again, the native window would come back as it was last restored;
        // one made anew starts iconified, as the window's state says.
        if (QWindow* native = windowHandle())
            native->destroy();
        showMinimized();
    }
}

void QtMainWindow::mnuShow_Click()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    Tray->hide();
    show();
}

}  // namespace kelvane
