#include "shell/frmGMSK.h"

#include "Version.h"
#include "shell/WindowCommon.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <filesystem>
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

frmGMSK::frmGMSK(MessageBoxes& messages, SoundCapture& capture, SettingsStore& store,
                 DesktopServices desktop)
    : Vessels(new frmVessels(this)), Core(*this), Messages(messages), Capture(capture),
      Store(store), Desktop(std::move(desktop))
{
    BuildControls();
    // The network outputs' news arrives on their thread; it is shown from
    // this window's event loop.
    Core.EventsWaiting = [this] {
        QMetaObject::invokeMethod(this, [this] { Core.DeliverEvents(); }, Qt::QueuedConnection);
    };
}

void frmGMSK::cmdVessels_Click()
{
    Vessels->show();
    Vessels->raise();
    Vessels->activateWindow();
}

frmGMSK::~frmGMSK() = default;

void frmGMSK::BuildControls()
{
    RegisterShellResources();
    setWindowTitle(AppName);
    setWindowIcon(QIcon(":/kelvane.png"));
    setFixedSize(6990 / 15, 8445 / 15);
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
    txtStationName->setMaxLength(15);
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

    connect(cmdStartMonitoring, &QPushButton::clicked, this, [this] { cmdStartMonitoring_Click(); });
    connect(cmdReplay, &QPushButton::clicked, this, [this] { cmdReplay_Click(); });
    connect(cmdVessels, &QPushButton::clicked, this, [this] { cmdVessels_Click(); });
    connect(Timer, &QTimer::timeout, this, [this] { Timer_Timer(); });
    // Handlers run for the program's own changes too, as a click would.
    connect(opt44100, &QRadioButton::toggled, this, [this](bool on) { if (on) opt44100_Click(); });
    connect(opt48000, &QRadioButton::toggled, this, [this](bool on) { if (on) opt48000_Click(); });
    connect(cbUseDLL, &QCheckBox::toggled, this, [this] { cbUseDLL_Click(); });
    connect(cbStartMinMon, &QCheckBox::toggled, this, [this] { cbStartMinMon_Click(); });
    connect(cbHighSensitivity, &QCheckBox::toggled, this, [this] { cbHighSensitivity_Click(); });
    connect(cbReceivers, &QComboBox::currentIndexChanged, this, [this] { cbReceivers_Click(); });
    connect(cbSwapAB, &QCheckBox::toggled, this, [this] { cbSwapAB_Click(); });
    connect(cbSerial, &QCheckBox::toggled, this, [this] { cbSerial_Click(); });
    connect(cbLogfile, &QCheckBox::toggled, this, [this] { cbLogfile_Click(); });
    connect(cbPush, &QCheckBox::toggled, this, [this] { cbPush_Click(); });
    connect(cbTcpServer, &QCheckBox::toggled, this, [this] { cbTcpServer_Click(); });
    connect(cbTcpClient, &QCheckBox::toggled, this, [this] { cbTcpClient_Click(); });
    connect(cbTagBlocks, &QCheckBox::toggled, this, [this] { cbTagBlocks_Click(); });
    connect(cbHttp, &QCheckBox::toggled, this, [this] { cbHttp_Click(); });
    connect(txtPath, &QLineEdit::textChanged, this, [this] { txtPath_Change(); });
    connect(cmdBrowse, &QPushButton::clicked, this, [this] { cmdBrowse_Click(); });
    connect(IPTimer, &QTimer::timeout, this, [this] { IPTimer_Timer(); });
    connect(mnuShow, &QAction::triggered, this, [this] { mnuShow_Click(); });
    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
    connect(TrayWatch, &QTimer::timeout, this, [this] { TrayWatch_Timer(); });
    connect(Tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        // A double click restores; the context menu opens by itself.
        if (why == QSystemTrayIcon::DoubleClick && isMinimized())
            mnuShow_Click();
    });
}

std::string frmGMSK::VersionCaption()
{
    return std::string(AppName) + " " + std::to_string(KELVANE_VERSION_MAJOR) + "." +
           std::to_string(KELVANE_VERSION_MINOR) + "." + std::to_string(KELVANE_VERSION_PATCH);
}

std::string frmGMSK::StripAtNul(const std::string& text)
{
    return text.substr(0, text.find('\0'));
}

// --- Load -----------------------------------------------------------------------------

void frmGMSK::Form_Load()
{
    LoadSettings();
    txtPath->setText(Q(LogFileName));

    FillPortList();
    FillDeviceList();

    if (SampleRate == 48000) {
        opt48000->setChecked(true);
        opt48000_Click();
    } else {
        SampleRate = 44100;
        opt44100->setChecked(true);
        opt44100_Click();
    }

    if (UseDLL)
        cbUseDLL->setChecked(true);
    if (EnableSerial)
        cbSerial->setChecked(true);
    if (EnableLogfile)
        cbLogfile->setChecked(true);
    if (EnableIPLogging)
        cbPush->setChecked(true);
    cbTcpServer->setChecked(EnableTcpServer);
    cbTcpClient->setChecked(EnableTcpClient);
    cbTagBlocks->setChecked(EnableTagBlocks);
    cbHttp->setChecked(EnableHttp);
    if (EnableStartMin)
        cbStartMinMon->setChecked(true);
    if (HighSensitivity)
        cbHighSensitivity->setChecked(true);
    cbReceivers->setCurrentIndex(Receivers == 2 ? 1 : 0);
    cbReceivers_Click();
    cbSwapAB->setChecked(SwapAB);

    BaudRate = ReceiveChain::BaudRate;
    Tray->setToolTip("0% Valid");
    // High priority, so that decoding keeps pace; allowed only to some users.
    setpriority(PRIO_PROCESS, 0, -10);
    ClearCounters();
    setWindowTitle(Q(VersionCaption()));
    show();
    if (EnableStartMin) {
        cmdStartMonitoring_Click();
        setWindowState(windowState() | Qt::WindowMinimized);
        Form_Resize();
    }
}

// --- Counters and settings controls ------------------------------------------

void frmGMSK::ClearCounters()
{
    for (QLabel* label : {lblPreSyncs, lblSyncs, lblValid, lblVPct, lblErrors, lblEPct,
                          lblOverruns, lbl123, lbl5, lbl1819, lbl21, lblOther, lblValidAB})
        label->setText(QString());
    Core.ClearCounters();
}

void frmGMSK::EnableSettings(bool enable)
{
    for (QWidget* control : std::initializer_list<QWidget*>{SoundDevice, opt44100, opt48000, cbSerial,
                                                           cbLogfile, cbPort, cbBaud, cbPush,
                                                           txtIPPort, txtPath, cmdBrowse,
                                                           cbTcpServer, txtTcpServer, cbTcpClient,
                                                           txtTcpClient, cbTagBlocks, txtStationName,
                                                           cbHighSensitivity, cbReceivers, cbSwapAB})
        control->setEnabled(enable);
}

QLabel* frmGMSK::Label(Counter label) const
{
    switch (label) {
    case Counter::PreSyncs: return lblPreSyncs;
    case Counter::Syncs: return lblSyncs;
    case Counter::Valid: return lblValid;
    case Counter::Errors: return lblErrors;
    case Counter::Overruns: return lblOverruns;
    case Counter::Types123: return lbl123;
    case Counter::Type5: return lbl5;
    case Counter::Types1819: return lbl1819;
    case Counter::Type24: return lbl21;
    case Counter::OtherTypes: return lblOther;
    case Counter::ValidPerChannel: return lblValidAB;
    }
    return lblOther;
}

std::string frmGMSK::Percent(int32_t part, int32_t whole)
{
    if (whole <= 0)
        return "0%";
    // Whole-number arithmetic, so that 12.5 % is always 13 %.
    const int64_t rounded = (200 * static_cast<int64_t>(part) + whole) / (2 * static_cast<int64_t>(whole));
    return std::to_string(rounded) + "%";
}

void frmGMSK::CounterChanged(Counter counter, const ReceiveCounters& c)
{
    const int32_t count[] = {c.PreSyncCount, c.SyncCount, c.ValidCount, c.ErrorCount, c.OverrunCount,
                             c.MsgCount123, c.MsgCount5, c.MsgCount1819, c.MsgCount24, c.MsgCountOther};
    if (counter == Counter::ValidPerChannel)
        lblValidAB->setText(Q(std::to_string(c.ValidCountA) + " / " + std::to_string(c.ValidCountB)));
    else
        Label(counter)->setText(QString::number(count[static_cast<int>(counter)]));
    if (counter == Counter::Valid || counter == Counter::Errors) {
        lblVPct->setText(Q(Percent(c.ValidCount, c.SyncCount)));
        lblEPct->setText(Q(Percent(c.ErrorCount, c.SyncCount)));
    }
    if (Web.IsOpen())
        Web.Model().Counted(c);
    if (counter == Counter::Valid && !isVisible())
        Tray->setToolTip(Q(Percent(c.ValidCount, c.SyncCount) + " valid."));
}

void frmGMSK::LevelChanged(int32_t level)
{
    pbLevel->setValue(level);
    if (Web.IsOpen()) {
        Web.Model().Level(level);
        const Demodulator active = Core.ActiveDemodulator();
        Web.Model().StreamStarted({active == Demodulator::Burst     ? "burst"
                                   : active == Demodulator::Builtin ? "builtin"
                                                                    : "library",
                                   Core.Format().Channels, Core.Format().SampleRate});
    }
}

void frmGMSK::MessageDecoded(const DecodedMessage& message)
{
    Vessels->Heard(message.Bits, message.Sentences, message.Origin);
    if (Web.IsOpen())
        Web.Model().Heard(message.Bits, message.Sentences, message.Origin);
}

void frmGMSK::Show(const std::string& text, MessageIcon icon, const std::string& title)
{
    Messages.Show(text, icon, title);
}

void frmGMSK::opt44100_Click() { SampleRate = 44100; }

void frmGMSK::opt48000_Click() { SampleRate = 48000; }

void frmGMSK::cbUseDLL_Click() { UseDLL = cbUseDLL->isChecked(); }

void frmGMSK::txtPath_Change() { LogFileName = txtPath->text().toStdString(); }

void frmGMSK::cbStartMinMon_Click() { EnableStartMin = cbStartMinMon->isChecked(); }

void frmGMSK::cbHighSensitivity_Click() { HighSensitivity = cbHighSensitivity->isChecked(); }

void frmGMSK::cbSerial_Click() { EnableSerial = cbSerial->isChecked(); }

void frmGMSK::cbLogfile_Click() { EnableLogfile = cbLogfile->isChecked(); }

void frmGMSK::cbPush_Click()
{
    EnableIPLogging = cbPush->isChecked();
    txtIPPort->setEnabled(EnableIPLogging);
}

void frmGMSK::cbTcpServer_Click() { EnableTcpServer = cbTcpServer->isChecked(); }

void frmGMSK::cbTcpClient_Click() { EnableTcpClient = cbTcpClient->isChecked(); }

void frmGMSK::cbTagBlocks_Click() { EnableTagBlocks = cbTagBlocks->isChecked(); }

// The web view serves while its box is ticked, monitoring or not; one that
// cannot listen says why and unticks its box.
void frmGMSK::cbHttp_Click()
{
    EnableHttp = cbHttp->isChecked();
    txtHttpPort->setEnabled(!EnableHttp);
    if (!EnableHttp) {
        Web.Close();
        lblHttp->setText(QString());
        return;
    }
    if (const std::string problem = Web.Open(ChosenWebView()); !problem.empty()) {
        Messages.Show("The web view could not start: " + problem, MessageIcon::Exclamation);
        cbHttp->setChecked(false);
        return;
    }
    Web.Model().Counted(Core.Counters());
    lblHttp->setText("serving");
    lblHttp->setToolTip(Q(Web.Url()));
}

void frmGMSK::cbReceivers_Click()
{
    Receivers = cbReceivers->currentIndex() == 1 ? 2 : 1;
    cbSwapAB->setVisible(Receivers == 2);
    lblValidABCaption->setVisible(Receivers == 2);
    lblValidAB->setVisible(Receivers == 2);
}

void frmGMSK::cbSwapAB_Click() { SwapAB = cbSwapAB->isChecked(); }

ReceiverSettings frmGMSK::ChosenReceiver() const
{
    ReceiverSettings receiver;
    receiver.Demod = HighSensitivity ? Demodulator::Burst
                     : UseDLL        ? Demodulator::Library
                                     : Demodulator::Builtin;
    receiver.SwapChannels = SwapAB;
    receiver.TraceFlag = DemodTrace;
    return receiver;
}

void frmGMSK::cmdBrowse_Click()
{
    const std::string chosen = Desktop.ChooseLogFile(txtPath->text().toStdString());
    if (!chosen.empty())
        txtPath->setText(Q(chosen));
}

// --- The outputs ---------------------------------------------------------------

OutputSettings frmGMSK::ChosenOutputs() const
{
    OutputSettings o;
    o.Serial = cbSerial->isChecked();
    o.SerialPort = cbPort->currentText().toStdString();
    // The window's speed with the line settings every plotter takes.
    o.SerialSettings = cbBaud->currentText().toStdString() + ",n,8,1";
    o.Log = cbLogfile->isChecked();
    o.LogPath = txtPath->text().toStdString();
    o.Udp = EnableIPLogging;
    o.UdpList = txtIPPort->text().toStdString();
    o.TcpServer = cbTcpServer->isChecked();
    o.TcpServerAddress = txtTcpServer->text().toStdString();
    o.TcpClient = cbTcpClient->isChecked();
    o.TcpClientTarget = txtTcpClient->text().toStdString();
    o.TagBlocks = cbTagBlocks->isChecked();
    o.StationName = txtStationName->text().toStdString();
    return o;
}

WebViewSettings frmGMSK::ChosenWebView() const
{
    WebViewSettings web;
    web.Address = txtHttpPort->text().trimmed().toStdString();
    bool latOk = false, lonOk = false;
    const double lat = QLocale::c().toDouble(Q(Vessels->StationLatitude()), &latOk);
    const double lon = QLocale::c().toDouble(Q(Vessels->StationLongitude()), &lonOk);
    if (latOk && lonOk && std::abs(lat) <= 90 && std::abs(lon) <= 180)
        web.Station = Position{lat, lon};
    return web;
}

void frmGMSK::OutputFailed(const OutputFailure& failure)
{
    for (const UserMessage& m : failure.Messages)
        Messages.Show(m.Text, m.Icon, m.Title);
    // Unchecking runs the box's handler, as a user's click would: the output
    // is off in the settings too. An invalid UDP list leaves its box checked
    // and sends nothing this run.
    switch (failure.Output) {
    case OutputKind::Serial: cbSerial->setChecked(false); break;
    case OutputKind::Log: cbLogfile->setChecked(false); break;
    case OutputKind::Udp: break;
    case OutputKind::TcpServer: cbTcpServer->setChecked(false); break;
    case OutputKind::TcpClient: cbTcpClient->setChecked(false); break;
    case OutputKind::TagBlocks: cbTagBlocks->setChecked(false); break;
    }
}

void frmGMSK::TcpServerClients(size_t count, const std::string&)
{
    lblTcpClients->setText(count == 1 ? "1 client" : QString::number(count) + " clients");
}

void frmGMSK::TcpClientState(bool connected, const std::string& why)
{
    lblTcpClientState->setText(connected ? "connected" : "waiting");
    lblTcpClientState->setToolTip(Q(why));
}

void frmGMSK::UdpSendFailed()
{
    txtIPPort->setStyleSheet("QLineEdit { background-color: rgb(255, 0, 0); }");
    IPTimer->start();
}

void frmGMSK::IPTimer_Timer()
{
    IPTimer->stop();
    txtIPPort->setStyleSheet(QString());
}

}  // namespace kelvane
