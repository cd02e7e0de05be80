#include "shell/QtMainWindow.h"

#include "shell/WindowCommon.h"
#include "window/WindowLayout.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>
#include <vector>

#include <sys/resource.h>

// The icon lives in a resource compiled into this static library; nothing in
// a program refers to the resource's initialiser, so the linker would leave it
// out and every icon would be empty. Registering it here, where the window is
// built, keeps it in every program that has the window.
static void RegisterShellResources() { Q_INIT_RESOURCE(shell); }

namespace kelvane {

using namespace shell;

namespace {

// Positions are designed in twips, 15 to a pixel.
QRect Twips(int left, int top, int width, int height)
{
    return {left / 15, top / 15, width / 15, height / 15};
}

QLabel* AddLabel(QWidget* parent, const QString& text, QRect where)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(where);
    return label;
}

}  // namespace

QtMainWindow::QtMainWindow(MessageBoxes& messages, SoundCapture& capture, SettingsStore& store,
                           DesktopServices desktop)
    : Vessels(new frmVessels(this)), Logic(*this, *Vessels, messages, capture, store, desktop),
      TrayAvailable(desktop.TrayAvailable)
{
    BuildControls();
}

QtMainWindow::~QtMainWindow() = default;

void QtMainWindow::BuildControls()
{
    RegisterShellResources();
    setWindowTitle(AppName);
    setWindowIcon(QIcon(":/kelvane.png"));
    setFixedSize(WindowWidthTwips / 15, WindowHeightTwips / 15);
    // The layout is drawn for an 8-point font.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    auto* processing = new QGroupBox("Processing Options", this);
    processing->setGeometry(Twips(120, 240, 2415, 2145));
    cmdStartMonitoring = new QPushButton("Start Monitoring", processing);
    cmdStartMonitoring->setGeometry(Twips(240, 300, 1935, 435));
    cmdReplay = new QPushButton("Replay File", processing);
    cmdReplay->setGeometry(Twips(240, 810, 1935, 435));
    cbHighSensitivity = new QCheckBox("High sensitivity", processing);
    cbHighSensitivity->setGeometry(Twips(240, 1290, 1935, 300));
    cmdVessels = new QPushButton("Vessels", processing);
    cmdVessels->setGeometry(Twips(240, 1650, 1935, 390));
    Timer = new QTimer(this);

    auto* counts = new QGroupBox("Demodulator Counts", this);
    counts->setGeometry(Twips(2640, 240, 2415, 2145));
    const char* rows[] = {"PreSyncs:", "Syncs:", "Valid:", "Errors:", "Overruns:"};
    QLabel** countLabels[] = {&lblPreSyncs, &lblSyncs, &lblValid, &lblErrors, &lblOverruns};
    for (int i = 0; i < 5; ++i) {
        const int top = 240 + 240 * i;
        QLabel* caption = AddLabel(counts, rows[i], Twips(i == 0 ? 120 : 240, top, 900, 240));
        *countLabels[i] = AddLabel(counts, "", Twips(1080, top, 720, 240));
        if (i == 0)
            lblPreSyncsCaption = caption;
    }
    // Valid frames per channel, with two receivers only.
    lblValidABCaption = AddLabel(counts, "A / B:", Twips(240, 240 + 240 * 5, 900, 240));
    lblValidAB = AddLabel(counts, "", Twips(1080, 240 + 240 * 5, 1275, 240));
    lblVPct = AddLabel(counts, "", Twips(1800, 240 + 240 * 2, 555, 240));
    lblEPct = AddLabel(counts, "", Twips(1800, 240 + 240 * 3, 555, 240));
    // PreSyncs come from the built-in demodulator only: hidden.
    lblPreSyncsCaption->hide();
    lblPreSyncs->hide();

    auto* ids = new QGroupBox("Message IDs", this);
    ids->setGeometry(Twips(5160, 240, 1695, 2145));
    const char* idRows[] = {"1, 2, 3:", "5:", "18, 19:", "24:", "Other:"};
    QLabel** idLabels[] = {&lbl123, &lbl5, &lbl1819, &lbl21, &lblOther};
    for (int i = 0; i < 5; ++i) {
        const int top = 360 + 240 * i;
        AddLabel(ids, idRows[i], Twips(120, top, 840, 240));
        *idLabels[i] = AddLabel(ids, "", Twips(960, top, 660, 240));
    }

    auto* audio = new QGroupBox("Audio Input Options", this);
    audio->setGeometry(Twips(120, 2490, 5295, 1965));
    AddLabel(audio, "Audio Device:", Twips(120, 330, 1350, 300));
    SoundDevice = new QComboBox(audio);
    SoundDevice->setGeometry(Twips(1440, 270, 3735, 330));
    AddLabel(audio, "Sampling Rate:", Twips(120, 750, 1350, 300));
    opt44100 = new QRadioButton("44100", audio);
    opt44100->setGeometry(Twips(1440, 720, 1080, 330));
    opt48000 = new QRadioButton("48000", audio);
    opt48000->setGeometry(Twips(2520, 720, 1080, 330));
    opt44100->setChecked(true);
    cbUseDLL = new QCheckBox("Use DLL", audio);
    cbUseDLL->setGeometry(Twips(3720, 720, 1200, 330));
    cbUseDLL->hide();  // the library serves at every start
    AddLabel(audio, "Receivers:", Twips(120, 1140, 1350, 300));
    cbReceivers = new QComboBox(audio);
    cbReceivers->addItem("One (mono)");
    cbReceivers->addItem("Two (stereo: left A, right B)");
    cbReceivers->setGeometry(Twips(1440, 1080, 3735, 330));
    // Beside the rates, where the hidden Use DLL box sits.
    cbSwapAB = new QCheckBox("Swap A/B", audio);
    cbSwapAB->setGeometry(Twips(3720, 720, 1455, 330));
    cbStartMinMon =
        new QCheckBox("Monitor audio input and minimize to system tray at startup", audio);
    cbStartMinMon->setGeometry(Twips(120, 1500, 5160, 330));

    auto* level = new QGroupBox("Level", this);
    level->setGeometry(Twips(5520, 2490, 1335, 1965));
    pbLevel = new QProgressBar(level);
    pbLevel->setOrientation(Qt::Vertical);
    pbLevel->setRange(LevelMinimum, 255);
    pbLevel->setValue(LevelMinimum);
    pbLevel->setTextVisible(false);
    pbLevel->setGeometry(Twips(540, 240, 255, 1605));

    auto* output = new QGroupBox("Output Options", this);
    output->setGeometry(Twips(120, 4560, 6735, 3735));
    cbSerial = new QCheckBox("Serial Output", output);
    cbSerial->setGeometry(Twips(120, 300, 1680, 330));
    AddLabel(output, "Port:", Twips(1860, 330, 540, 300));
    cbPort = new QComboBox(output);
    cbPort->setGeometry(Twips(2400, 270, 1800, 330));
    AddLabel(output, "Baudrate:", Twips(4320, 330, 1020, 300));
    cbBaud = new QComboBox(output);
    cbBaud->setGeometry(Twips(5340, 270, 1275, 330));
    cbLogfile = new QCheckBox("Logfile Output", output);
    cbLogfile->setGeometry(Twips(120, 780, 1680, 330));
    AddLabel(output, "Name:", Twips(1860, 810, 600, 300));
    txtPath = new QLineEdit(output);
    txtPath->setGeometry(Twips(2460, 750, 3720, 330));
    cmdBrowse = new QPushButton(output);
    cmdBrowse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    cmdBrowse->setGeometry(Twips(6240, 750, 375, 330));
    cbPush = new QCheckBox("UDP Output", output);
    cbPush->setGeometry(Twips(120, 1260, 1680, 330));
    AddLabel(output, "IP:Port:", Twips(1860, 1290, 780, 300));
    txtIPPort = new QLineEdit(output);
    txtIPPort->setGeometry(Twips(2640, 1230, 3975, 330));
    txtIPPort->setEnabled(false);
    cbTcpServer = new QCheckBox("TCP Output", output);
    cbTcpServer->setGeometry(Twips(120, 1740, 1680, 330));
    AddLabel(output, "[Address:]Port:", Twips(1860, 1770, 1500, 300));
    txtTcpServer = new QLineEdit(output);
    txtTcpServer->setGeometry(Twips(3360, 1710, 1800, 330));
    lblTcpClients = AddLabel(output, "", Twips(5280, 1770, 1335, 300));
    cbTcpClient = new QCheckBox("Push to", output);
    cbTcpClient->setGeometry(Twips(120, 2220, 1680, 330));
    AddLabel(output, "Host:Port:", Twips(1860, 2250, 1000, 300));
    txtTcpClient = new QLineEdit(output);
    txtTcpClient->setGeometry(Twips(2860, 2190, 2300, 330));
    lblTcpClientState = AddLabel(output, "", Twips(5280, 2250, 1335, 300));
    cbTagBlocks = new QCheckBox("Tag blocks, station name:", output);
    cbTagBlocks->setGeometry(Twips(120, 2700, 3120, 330));
    txtStationName = new QLineEdit(output);
    txtStationName->setGeometry(Twips(3360, 2670, 1800, 330));
    txtStationName->setMaxLength(StationNameLength);
    cbHttp = new QCheckBox("Web view, port:", output);
    cbHttp->setGeometry(Twips(120, 3180, 3120, 330));
    txtHttpPort = new QLineEdit(output);
    txtHttpPort->setGeometry(Twips(3360, 3150, 1800, 330));
    lblHttp = AddLabel(output, "", Twips(5280, 3210, 1335, 300));
    IPTimer = new QTimer(this);
    IPTimer->setInterval(1000);

    mnuPopUp = new QMenu("PopUp", this);
    QAction* mnuShow = mnuPopUp->addAction("&Show");
    QAction* mnuExit = mnuPopUp->addAction("&Exit");
    Tray = new QSystemTrayIcon(windowIcon(), this);
    Tray->setContextMenu(mnuPopUp);
    TrayWatch = new QTimer(this);
    TrayWatch->setInterval(1000);

    // Every control's event goes to its handler in the window's logic; a
    // change the program makes runs it too, as a click would.
    using C = Control;
    auto clicked = [this](QAbstractButton* button, Control control) {
        connect(button, &QAbstractButton::clicked, this, [this, control] { Logic.Changed(control); });
    };
    auto toggled = [this](QAbstractButton* button, Control control) {
        connect(button, &QAbstractButton::toggled, this, [this, control] { Logic.Changed(control); });
    };
    clicked(cmdStartMonitoring, C::cmdStartMonitoring);
    clicked(cmdReplay, C::cmdReplay);
    clicked(cmdVessels, C::cmdVessels);
    clicked(cmdBrowse, C::cmdBrowse);
    for (auto [box, control] : {std::pair{opt44100, C::opt44100}, std::pair{opt48000, C::opt48000}})
        toggled(box, control);
    for (auto [box, control] :
         {std::pair<QCheckBox*, Control>{cbUseDLL, C::cbUseDLL}, {cbStartMinMon, C::cbStartMinMon},
          {cbHighSensitivity, C::cbHighSensitivity}, {cbSwapAB, C::cbSwapAB}, {cbSerial, C::cbSerial},
          {cbLogfile, C::cbLogfile}, {cbPush, C::cbPush}, {cbTcpServer, C::cbTcpServer},
          {cbTcpClient, C::cbTcpClient}, {cbTagBlocks, C::cbTagBlocks}, {cbHttp, C::cbHttp}})
        toggled(box, control);
    connect(cbReceivers, &QComboBox::currentIndexChanged, this, [this] { Logic.Changed(C::cbReceivers); });
    connect(txtPath, &QLineEdit::textChanged, this, [this] { Logic.Changed(C::txtPath); });
    connect(Timer, &QTimer::timeout, this, [this] { Logic.Timer_Timer(); });
    connect(IPTimer, &QTimer::timeout, this, [this] { Logic.IPTimer_Timer(); });
    connect(mnuShow, &QAction::triggered, this, [this] { mnuShow_Click(); });
    connect(mnuExit, &QAction::triggered, this, [this] { Logic.mnuExit_Click(); });
    connect(TrayWatch, &QTimer::timeout, this, [this] { TrayWatch_Timer(); });
    connect(Tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        // A double click restores; the context menu opens by itself.
        if (why == QSystemTrayIcon::DoubleClick && isMinimized())
            mnuShow_Click();
    });
}

// --- The controls for the window's logic -------------------------------------------

QWidget* QtMainWindow::Widget(Control control) const
{
    using C = Control;
    switch (control) {
    case C::cmdStartMonitoring: return cmdStartMonitoring;
    case C::cmdReplay: return cmdReplay;
    case C::cbHighSensitivity: return cbHighSensitivity;
    case C::cmdVessels: return cmdVessels;
    case C::lblPreSyncsCaption: return lblPreSyncsCaption;
    case C::lblPreSyncs: return lblPreSyncs;
    case C::lblSyncs: return lblSyncs;
    case C::lblValid: return lblValid;
    case C::lblErrors: return lblErrors;
    case C::lblOverruns: return lblOverruns;
    case C::lblVPct: return lblVPct;
    case C::lblEPct: return lblEPct;
    case C::lblValidABCaption: return lblValidABCaption;
    case C::lblValidAB: return lblValidAB;
    case C::lbl123: return lbl123;
    case C::lbl5: return lbl5;
    case C::lbl1819: return lbl1819;
    case C::lbl21: return lbl21;
    case C::lblOther: return lblOther;
    case C::SoundDevice: return SoundDevice;
    case C::opt44100: return opt44100;
    case C::opt48000: return opt48000;
    case C::cbUseDLL: return cbUseDLL;
    case C::cbReceivers: return cbReceivers;
    case C::cbSwapAB: return cbSwapAB;
    case C::cbStartMinMon: return cbStartMinMon;
    case C::cbSerial: return cbSerial;
    case C::cbPort: return cbPort;
    case C::cbBaud: return cbBaud;
    case C::cbLogfile: return cbLogfile;
    case C::txtPath: return txtPath;
    case C::cmdBrowse: return cmdBrowse;
    case C::cbPush: return cbPush;
    case C::txtIPPort: return txtIPPort;
    case C::cbTcpServer: return cbTcpServer;
    case C::txtTcpServer: return txtTcpServer;
    case C::lblTcpClients: return lblTcpClients;
    case C::cbTcpClient: return cbTcpClient;
    case C::txtTcpClient: return txtTcpClient;
    case C::lblTcpClientState: return lblTcpClientState;
    case C::cbTagBlocks: return cbTagBlocks;
    case C::txtStationName: return txtStationName;
    case C::cbHttp: return cbHttp;
    case C::txtHttpPort: return txtHttpPort;
    case C::lblHttp: return lblHttp;
    }
    return nullptr;
}

std::string QtMainWindow::Text(Control control) const
{
    const QWidget* w = Widget(control);
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return label->text().toStdString();
    if (const auto* edit = qobject_cast<const QLineEdit*>(w))
        return edit->text().toStdString();
    if (const auto* list = qobject_cast<const QComboBox*>(w))
        return list->currentText().toStdString();
    if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text().toStdString();
    return {};
}

void QtMainWindow::SetText(Control control, const std::string& text)
{
    QWidget* w = Widget(control);
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(Q(text));
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(Q(text));
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(Q(text));
}

bool QtMainWindow::Checked(Control control) const
{
    const auto* button = qobject_cast<const QAbstractButton*>(Widget(control));
    return button != nullptr && button->isChecked();
}

void QtMainWindow::SetChecked(Control control, bool checked)
{
    if (auto* button = qobject_cast<QAbstractButton*>(Widget(control)))
        button->setChecked(checked);
}

void QtMainWindow::SetEnabled(Control control, bool enabled) { Widget(control)->setEnabled(enabled); }

void QtMainWindow::SetVisible(Control control, bool visible) { Widget(control)->setVisible(visible); }

void QtMainWindow::AddItem(Control list, const std::string& item)
{
    qobject_cast<QComboBox*>(Widget(list))->addItem(Q(item));
}

int QtMainWindow::ItemCount(Control list) const { return qobject_cast<const QComboBox*>(Widget(list))->count(); }

int QtMainWindow::FindItem(Control list, const std::string& item) const
{
    return qobject_cast<const QComboBox*>(Widget(list))->findText(Q(item));
}

int QtMainWindow::SelectedIndex(Control list) const
{
    return qobject_cast<const QComboBox*>(Widget(list))->currentIndex();
}

void QtMainWindow::SetSelectedIndex(Control list, int index)
{
    qobject_cast<QComboBox*>(Widget(list))->setCurrentIndex(index);
}

void QtMainWindow::SetAlert(Control control, bool alert)
{
    Widget(control)->setStyleSheet(alert ? "QLineEdit { background-color: rgb(255, 0, 0); }" : QString());
}

void QtMainWindow::SetToolTip(Control control, const std::string& text) { Widget(control)->setToolTip(Q(text)); }

void QtMainWindow::SetLevel(int value) { pbLevel->setValue(value); }

void QtMainWindow::SetTitle(const std::string& title) { setWindowTitle(Q(title)); }

void QtMainWindow::ShowWindow() { show(); }

void QtMainWindow::MinimiseWindow()
{
    setWindowState(windowState() | Qt::WindowMinimized);
    Form_Resize();
}

bool QtMainWindow::IsMinimised() const { return isMinimized(); }

bool QtMainWindow::IsHidden() const { return !isVisible(); }

void QtMainWindow::CloseWindow() { close(); }

void QtMainWindow::Quit() { QCoreApplication::quit(); }

void QtMainWindow::Position(int& left, int& top) const
{
    left = pos().x();
    top = pos().y();
}

void QtMainWindow::MoveTo(int left, int top) { move(left, top); }

void QtMainWindow::SetTrayTip(const std::string& text) { Tray->setToolTip(Q(text)); }

void QtMainWindow::StartTimer(WindowTimer timer, int milliseconds)
{
    QTimer* t = timer == WindowTimer::Timer ? Timer : IPTimer;
    t->setInterval(milliseconds);
    t->start();
}

void QtMainWindow::StopTimer(WindowTimer timer) { (timer == WindowTimer::Timer ? Timer : IPTimer)->stop(); }

void QtMainWindow::ProcessEvents() { QCoreApplication::processEvents(); }

void QtMainWindow::Later(std::function<void()> work)
{
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

}  // namespace kelvane
