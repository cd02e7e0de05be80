#include "frmGMSK.h"

#include "Replay.h"
#include "TextFields.h"
#include "Version.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <vector>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

// The icon lives in a resource compiled into this static library; nothing in
// a program refers to the resource's initialiser, so the linker would leave it
// out and every icon would be empty. Registering it here, where the window is
// built, keeps it in every program that has the window.
static void RegisterShellResources() { Q_INIT_RESOURCE(shell); }

namespace kelvane {

namespace {

constexpr const char* AppName = "Kelvane";
constexpr const char* Section = "Settings";

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

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::filesystem::path ProgramFolder()
{
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
}

}  // namespace

frmGMSK::frmGMSK(MessageBoxes& messages, SoundCapture& capture, SettingsStore& store,
                 DesktopServices desktop)
    : Counters(*this), OutputsControl(*this, messages, Outputs), Vessels(new frmVessels(this)),
      Messages(messages), Capture(capture), Store(store), Desktop(std::move(desktop)),
      Dispatch(OutputsControl, messages), Feed(*Vessels),
      ToOutputsAndVessels{&Dispatch, &Feed}, Encoder(Counters, ToOutputsAndVessels),
      Chain(Counters, *this, Encoder, messages, Library)
{
    BuildControls();
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
    setFixedSize(6990 / 15, 7965 / 15);
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
    output->setGeometry(Twips(120, 4560, 6735, 3255));
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
    IPTimer = new QTimer(this);
    IPTimer->setInterval(1000);

    mnuPopUp = new QMenu("PopUp", this);
    QAction* mnuShow = mnuPopUp->addAction("&Show");
    QAction* mnuExit = mnuPopUp->addAction("&Exit");
    Tray = new QSystemTrayIcon(windowIcon(), this);
    Tray->setContextMenu(mnuPopUp);

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
    connect(txtPath, &QLineEdit::textChanged, this, [this] { txtPath_Change(); });
    connect(cmdBrowse, &QPushButton::clicked, this, [this] { cmdBrowse_Click(); });
    connect(IPTimer, &QTimer::timeout, this, [this] { IPTimer_Timer(); });
    connect(mnuShow, &QAction::triggered, this, [this] { mnuShow_Click(); });
    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
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

// --- Load, and the settings ----------------------------------------------------

void frmGMSK::Form_Load()
{
    LoadSettings();
    txtPath->setText(Q(LogFileName));

    // Serial ports: the devices the system lists, by name.
    std::vector<std::string> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.push_back(info.portName().toStdString());
    std::sort(ports.begin(), ports.end(), [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
    for (const std::string& port : ports) {
        cbPort->addItem(Q(port));
        if (port == ComPortNumber)
            cbPort->setCurrentIndex(cbPort->count() - 1);
    }
    if (ports.empty()) {
        cbPort->addItem("None");
        ComPortNumber = "None";
        cbSerial->setChecked(false);
        cbSerial->setEnabled(false);
    }
    if (std::find(ports.begin(), ports.end(), ComPortNumber) == ports.end())
        cbPort->setCurrentIndex(0);  // the saved port is gone: the first one

    cbBaud->addItem("4800");
    cbBaud->addItem("38400");
    if (ComBaudRate == 0)
        ComBaudRate = 38400;
    const QString baud = QString::number(ComBaudRate);
    if (cbBaud->findText(baud) < 0)
        cbBaud->addItem(baud);  // a speed kept from an edited store
    cbBaud->setCurrentIndex(cbBaud->findText(baud));

    const std::vector<std::string> devices = Capture.InputDeviceNames();
    const auto deviceCount = static_cast<int32_t>(devices.size());
    if (SoundDeviceNumber < 0 || SoundDeviceNumber > deviceCount - 1)
        SoundDeviceNumber = 0;
    if (deviceCount > 0) {
        for (int32_t i = 0; i < deviceCount; ++i)
            SoundDevice->addItem(Q(StripAtNul(devices[static_cast<size_t>(i)])));
        SoundDevice->setCurrentIndex(SoundDeviceNumber);
    } else {
        SoundDevice->addItem("Device not found.");
        SoundDevice->setCurrentIndex(0);
    }

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
    if (Outputs.EnableSerial)
        cbSerial->setChecked(true);
    if (Outputs.EnableLogfile)
        cbLogfile->setChecked(true);
    if (Outputs.EnableIPLogging)
        cbPush->setChecked(true);
    cbTcpServer->setChecked(Outputs.EnableTcpServer);
    cbTcpClient->setChecked(Outputs.EnableTcpClient);
    cbTagBlocks->setChecked(Outputs.EnableTagBlocks);
    if (EnableStartMin)
        cbStartMinMon->setChecked(true);
    if (HighSensitivity)
        cbHighSensitivity->setChecked(true);
    cbReceivers->setCurrentIndex(Receivers == 2 ? 1 : 0);
    cbReceivers_Click();
    cbSwapAB->setChecked(SwapAB);

    BaudRate = ReceiveChain::BaudRate;
    Tray->setToolTip("0% Valid");
#if !defined(_WIN32)
    // High priority, so that decoding keeps pace; allowed only to some users.
    setpriority(PRIO_PROCESS, 0, -10);
#endif
    ClearCounters();
    setWindowTitle(Q(VersionCaption()));
    show();
    if (EnableStartMin) {
        cmdStartMonitoring_Click();
        setWindowState(windowState() | Qt::WindowMinimized);
        Form_Resize();
    }
}

std::string frmGMSK::ReadSetting(const std::string& name, const std::string& defaultText)
{
    try {
        return Store.ReadRegSetting(AppName, Section, name, defaultText);
    } catch (const SettingsError& error) {
        // Each error of a load shown once (a store that cannot be read at
        // all fails every read alike); the default serves and the program
        // goes on.
        if (ReadErrorsShown.insert({error.Number, error.what()}).second)
            Messages.Show("Error " + std::to_string(error.Number) + " reading the setting " +
                              name + ": " + error.what(),
                          MessageIcon::Exclamation);
        SettingsFailed = true;
        return defaultText;
    }
}

void frmGMSK::WriteSetting(const std::string& name, const std::string& text)
{
    if (SettingsFailed)
        return;
    try {
        Store.WriteRegSetting(AppName, Section, name, text);
    } catch (const SettingsError& error) {
        // Shown once; the program still ends normally.
        Messages.Show("Error " + std::to_string(error.Number) + " writing the setting " + name +
                          ": " + error.what(),
                      MessageIcon::Exclamation);
        SettingsFailed = true;
    }
}

void frmGMSK::LoadSettings()
{
    ReadErrorsShown.clear();
#if defined(_WIN32)
    const std::string defaultLog = (ProgramFolder() / "Kelvane.log").string();
#else
    // The program's folder is not writable here: the log goes to the
    // user's data folder, which is made when missing.
    const QString dataFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Kelvane";
    std::error_code ignored;
    std::filesystem::create_directories(dataFolder.toStdString(), ignored);
    const std::string defaultLog = (std::filesystem::path(dataFolder.toStdString()) / "Kelvane.log").string();
#endif
    LogFileName = ReadSetting("LogFileName", defaultLog);

    std::string text = ReadSetting("ComPortNumber", "COM1");
    if (!text.empty())
        ComPortNumber = text;  // a port's name here, such as ttyUSB0
    for (auto [name, defaultText, target] :
         {std::tuple{"ComBaudRate", "4800", &ComBaudRate},
          std::tuple{"SoundDeviceNumber", "0", &SoundDeviceNumber},
          std::tuple{"SamplesPerSecond", "48000", &SampleRate}}) {
        text = ReadSetting(name, defaultText);
        if (!text.empty())
            *target = LeadingNumber(text);
    }
    UseDLL = true;
    for (auto [name, defaultText, target] :
         {std::tuple{"EnableSerial", "True", &Outputs.EnableSerial},
          std::tuple{"EnableLogfile", "False", &Outputs.EnableLogfile},
          std::tuple{"EnableIPLogging", "False", &Outputs.EnableIPLogging}}) {
        text = ReadSetting(name, defaultText);
        if (!text.empty())
            ParseFlag(text, *target);  // a text that is no flag keeps the default
    }
    txtIPPort->setText(Q(ReadSetting("IPPort", "")));
    for (auto [name, defaultText, target] :
         {std::tuple{"EnableTcpServer", "False", &Outputs.EnableTcpServer},
          std::tuple{"EnableTcpClient", "False", &Outputs.EnableTcpClient},
          std::tuple{"EnableTagBlocks", "False", &Outputs.EnableTagBlocks}}) {
        text = ReadSetting(name, defaultText);
        if (!text.empty())
            ParseFlag(text, *target);
    }
    // 10110: the port registered for NMEA 0183 over TCP.
    txtTcpServer->setText(Q(ReadSetting("TcpServerPort", "10110")));
    txtTcpClient->setText(Q(ReadSetting("TcpClientTarget", "")));
    txtStationName->setText(Q(ReadSetting("StationName", "")));
    Vessels->SetStation(ReadSetting("StationLatitude", ""), ReadSetting("StationLongitude", ""));
    // "left,top,width,height" in pixels, where the window was last.
    const QStringList box = Q(ReadSetting("VesselsWindow", "")).split(',');
    if (box.size() == 4 && box[2].toInt() > 0 && box[3].toInt() > 0)
        Vessels->setGeometry(box[0].toInt(), box[1].toInt(), box[2].toInt(), box[3].toInt());
    text = ReadSetting("EnableStartMin", "False");
    if (!text.empty())
        ParseFlag(text, EnableStartMin);
    text = ReadSetting("HighSensitivity", "False");
    if (!text.empty())
        ParseFlag(text, HighSensitivity);
    text = ReadSetting("Receivers", "1");
    Receivers = !text.empty() && LeadingNumber(text) == 2 ? 2 : 1;
    text = ReadSetting("SwapAB", "False");
    if (!text.empty())
        ParseFlag(text, SwapAB);
    QPoint position = pos();
    text = ReadSetting("MainTop", "0");
    if (!text.empty())
        position.setY(LeadingNumber(text) / 15);
    text = ReadSetting("MainLeft", "0");
    if (!text.empty())
        position.setX(LeadingNumber(text) / 15);
    move(position);
    SettingsFailed = false;  // a failed read does not stop the save at exit
}

void frmGMSK::SaveSettings()
{
    if (SoundDevice->currentIndex() >= 0 && SoundDevice->count() > 0 &&
        SoundDevice->currentText() != "Device not found.")
        SoundDeviceNumber = SoundDevice->currentIndex();
    auto flag = [](bool value) { return std::string(value ? "True" : "False"); };
    WriteSetting("LogFileName", LogFileName);
    WriteSetting("ComPortNumber", cbPort->currentText().toStdString());
    WriteSetting("ComBaudRate", cbBaud->currentText().toStdString());
    WriteSetting("SoundDeviceNumber", std::to_string(SoundDeviceNumber));
    WriteSetting("SamplesPerSecond", std::to_string(SampleRate));
    WriteSetting("UseDLL", flag(UseDLL));
    WriteSetting("EnableSerial", flag(Outputs.EnableSerial));
    WriteSetting("EnableLogfile", flag(Outputs.EnableLogfile));
    WriteSetting("EnableIPLogging", flag(Outputs.EnableIPLogging));
    WriteSetting("IPPort", txtIPPort->text().toStdString());
    WriteSetting("EnableTcpServer", flag(Outputs.EnableTcpServer));
    WriteSetting("TcpServerPort", txtTcpServer->text().toStdString());
    WriteSetting("EnableTcpClient", flag(Outputs.EnableTcpClient));
    WriteSetting("TcpClientTarget", txtTcpClient->text().toStdString());
    WriteSetting("EnableTagBlocks", flag(Outputs.EnableTagBlocks));
    WriteSetting("StationName", txtStationName->text().toStdString());
    WriteSetting("StationLatitude", Vessels->StationLatitude());
    WriteSetting("StationLongitude", Vessels->StationLongitude());
    const QRect box = Vessels->geometry();
    WriteSetting("VesselsWindow", std::to_string(box.x()) + "," + std::to_string(box.y()) + "," +
                                      std::to_string(box.width()) + "," + std::to_string(box.height()));
    WriteSetting("EnableStartMin", flag(EnableStartMin));
    WriteSetting("HighSensitivity", flag(HighSensitivity));
    WriteSetting("Receivers", std::to_string(Receivers));
    WriteSetting("SwapAB", flag(SwapAB));
    if (!isMinimized()) {
        WriteSetting("MainTop", std::to_string(pos().y() * 15));
        WriteSetting("MainLeft", std::to_string(pos().x() * 15));
    }
}

// --- Counters and settings controls ------------------------------------------

void frmGMSK::ClearCounters()
{
    for (QLabel* label : {lblPreSyncs, lblSyncs, lblValid, lblVPct, lblErrors, lblEPct,
                          lblOverruns, lbl123, lbl5, lbl1819, lbl21, lblOther, lblValidAB})
        label->setText(QString());
    Counters.Clear();
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
    case Counter::ValidPercent: return lblVPct;
    case Counter::ErrorPercent: return lblEPct;
    case Counter::Types123: return lbl123;
    case Counter::Type5: return lbl5;
    case Counter::Types1819: return lbl1819;
    case Counter::Type24: return lbl21;
    case Counter::OtherTypes: return lblOther;
    case Counter::ValidPerChannel: return lblValidAB;
    }
    return lblOther;
}

void frmGMSK::SetCaption(Counter label, const std::string& text) { Label(label)->setText(Q(text)); }

void frmGMSK::SetLevel(int value) { pbLevel->setValue(value); }

bool frmGMSK::IsHidden() const { return !isVisible(); }

void frmGMSK::SetTrayTip(const std::string& text) { Tray->setToolTip(Q(text)); }

void frmGMSK::opt44100_Click() { SampleRate = 44100; }

void frmGMSK::opt48000_Click() { SampleRate = 48000; }

void frmGMSK::cbUseDLL_Click() { UseDLL = cbUseDLL->isChecked(); }

void frmGMSK::txtPath_Change() { LogFileName = txtPath->text().toStdString(); }

void frmGMSK::cbStartMinMon_Click() { EnableStartMin = cbStartMinMon->isChecked(); }

void frmGMSK::cbHighSensitivity_Click() { HighSensitivity = cbHighSensitivity->isChecked(); }

void frmGMSK::cbSerial_Click() { OutputsControl.SerialSwitched(); }

void frmGMSK::cbLogfile_Click() { OutputsControl.LogSwitched(); }

void frmGMSK::cbPush_Click() { OutputsControl.UdpSwitched(); }

void frmGMSK::cbTcpServer_Click() { OutputsControl.TcpServerSwitched(); }

void frmGMSK::cbTcpClient_Click() { OutputsControl.TcpClientSwitched(); }

void frmGMSK::cbTagBlocks_Click() { OutputsControl.TagBlocksSwitched(); }

void frmGMSK::cbReceivers_Click()
{
    Receivers = cbReceivers->currentIndex() == 1 ? 2 : 1;
    cbSwapAB->setVisible(Receivers == 2);
    lblValidABCaption->setVisible(Receivers == 2);
    lblValidAB->setVisible(Receivers == 2);
}

void frmGMSK::cbSwapAB_Click() { SwapAB = cbSwapAB->isChecked(); }

Demodulator frmGMSK::ChosenDemodulator() const
{
    if (HighSensitivity)
        return Demodulator::Burst;
    return UseDLL ? Demodulator::Library : Demodulator::Builtin;
}

void frmGMSK::cmdBrowse_Click()
{
    const std::string chosen = Desktop.ChooseLogFile(txtPath->text().toStdString());
    if (!chosen.empty())
        txtPath->setText(Q(chosen));
}

// --- The outputs' view of the window -----------------------------------------

bool frmGMSK::SerialChecked() const { return cbSerial->isChecked(); }
void frmGMSK::SetSerialChecked(bool checked) { cbSerial->setChecked(checked); }
std::string frmGMSK::PortText() const { return cbPort->currentText().toStdString(); }
std::string frmGMSK::PortSettings() const { return cbBaud->currentText().toStdString() + ",n,8,1"; }
bool frmGMSK::LogChecked() const { return cbLogfile->isChecked(); }
void frmGMSK::SetLogChecked(bool checked) { cbLogfile->setChecked(checked); }
std::string frmGMSK::LogPath() const { return txtPath->text().toStdString(); }
bool frmGMSK::PushChecked() const { return cbPush->isChecked(); }
std::string frmGMSK::IPPortText() const { return txtIPPort->text().toStdString(); }
void frmGMSK::SetIPPortEnabled(bool enabled) { txtIPPort->setEnabled(enabled); }
bool frmGMSK::TcpServerChecked() const { return cbTcpServer->isChecked(); }
void frmGMSK::SetTcpServerChecked(bool checked) { cbTcpServer->setChecked(checked); }
std::string frmGMSK::TcpServerText() const { return txtTcpServer->text().toStdString(); }
bool frmGMSK::TcpClientChecked() const { return cbTcpClient->isChecked(); }
void frmGMSK::SetTcpClientChecked(bool checked) { cbTcpClient->setChecked(checked); }
std::string frmGMSK::TcpClientText() const { return txtTcpClient->text().toStdString(); }
bool frmGMSK::TagBlocksChecked() const { return cbTagBlocks->isChecked(); }
void frmGMSK::SetTagBlocksChecked(bool checked) { cbTagBlocks->setChecked(checked); }
std::string frmGMSK::StationNameText() const { return txtStationName->text().toStdString(); }

void frmGMSK::ShowTcpClients(size_t count, const std::string&)
{
    lblTcpClients->setText(count == 1 ? "1 client" : QString::number(count) + " clients");
}

void frmGMSK::ShowTcpClientState(bool connected, const std::string& why)
{
    lblTcpClientState->setText(connected ? "connected" : "waiting");
    lblTcpClientState->setToolTip(Q(why));
}

void frmGMSK::ShowUdpFailure()
{
    txtIPPort->setStyleSheet("QLineEdit { background-color: rgb(255, 0, 0); }");
    IPTimer->start();
}

void frmGMSK::IPTimer_Timer()
{
    IPTimer->stop();
    txtIPPort->setStyleSheet(QString());
}

// --- Monitoring ----------------------------------------------------------------

void frmGMSK::cmdStartMonitoring_Click()
{
    if (!MonitoringActive)
        StartMonitoring();
    else if (Dispatching)
        StopAfterDispatch = true;  // never close the capture under a dispatch
    else
        StopMonitoring();
}

void frmGMSK::StartMonitoring()
{
    OutputsControl.OpenOutputs();
    if (SoundDevice->currentIndex() >= 0)
        SoundDeviceNumber = SoundDevice->currentIndex();
    if (!Capture.OpenWaveIn(SampleRate, SoundDeviceNumber, Receivers)) {
        CloseOutputs();
        Messages.Show("Start Monitoring Failed!");
        return;
    }
    // The built-in receiver initialises at the first buffer; the library
    // is re-initialised now.
    Chain.SwapChannels = SwapAB;
    Chain.Start(Capture.CaptureFormat(), ChosenDemodulator(), DemodTrace);
    cmdReplay->setEnabled(false);
    ClearCounters();
    Timer->setInterval(250);
    Timer->start();
    cmdStartMonitoring->setText("Stop Monitoring");
    EnableSettings(false);
    MonitoringActive = true;
}

void frmGMSK::CloseOutputs()
{
    OutputsControl.CloseOutputs();
    // The network outputs' state belongs to the run.
    lblTcpClients->clear();
    lblTcpClientState->clear();
}

void frmGMSK::StopMonitoring()
{
    // The burst demodulator's last bursts still reach the outputs.
    Chain.Finish();
    CloseOutputs();
    Capture.CloseWaveIn();
    Timer->stop();
    cmdStartMonitoring->setText("Start Monitoring");
    MonitoringActive = false;
    cmdReplay->setEnabled(true);
    EnableSettings(true);
}

void frmGMSK::Timer_Timer()
{
    if (Dispatching)
        return;  // one dispatch at a time
    Dispatching = true;
    CaptureTick(Capture, Chain, [] { QCoreApplication::processEvents(); });
    Dispatching = false;
    if (StopAfterDispatch) {
        StopAfterDispatch = false;
        if (MonitoringActive)
            StopMonitoring();
    }
    if (CloseAfterDispatch) {
        CloseAfterDispatch = false;
        close();
    }
}

// --- Replay -----------------------------------------------------------------------

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
                                   return ReplayActive;
                               }});
    if (outcome.HeaderRead) {
        SampleRate = outcome.Format.SampleRate;
        WavDataBytes = outcome.WavDataBytes;
        WavFormat = outcome.Format;
    }
    return outcome.Problem;
}

// --- Closing and the tray ------------------------------------------------------

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
