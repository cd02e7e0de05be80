#include "shell/FileDialogs.h"
#include "shell/frmVessels.h"
#include "shell/IniSettingsStore.h"
#include "shell/QtMainWindow.h"
#include "window/WindowLayout.h"

#include "support/AisPayload.h"
#include "support/HttpPeer.h"
#include "support/LoopbackPeers.h"
#include "support/NmeaCorpus.h"
#include "support/Recorders.h"
#include "support/RunProgram.h"
#include "support/SignalGenerator.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace kelvane::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// A sound card that the test scripts.
class FakeCapture : public SoundCapture {
public:
    std::vector<std::string> InputDeviceNames() override { return Devices; }
    bool OpenWaveIn(int32_t& sampleRate, int32_t deviceNumber, int32_t channels) override
    {
        if (sampleRate == 0)
            sampleRate = 44100;
        OpenedDevice = deviceNumber;
        Format = {sampleRate, channels, 8};
        if (!OpenSucceeds) {
            Messages->Show("An error occured while attempting to open audio device.    The device "
                           "number (" + std::to_string(deviceNumber) + ") cannot be found.",
                           MessageIcon::None, "");
            return false;
        }
        Open = true;
        return true;
    }
    bool CloseWaveIn() override
    {
        EXPECT_FALSE(InDispatch) << "the capture closed under a running dispatch";
        Open = false;
        return true;
    }
    AudioFormat CaptureFormat() const override { return Format; }
    int32_t FilledBuffers() const override { return Filled; }
    void DispatchFilledBuffers(const BlockHandler&, const std::function<void()>& processEvents) override
    {
        ++Dispatches;
        InDispatch = true;
        if (DuringDispatch)
            DuringDispatch();
        processEvents();
        InDispatch = false;
        Filled = 0;
    }

    std::vector<std::string> Devices = {std::string("First input") + std::string(21, '\0'),
                                        "Second input"};
    RecordingEvents* Messages = nullptr;
    bool OpenSucceeds = true;
    bool Open = false;
    bool InDispatch = false;
    int32_t OpenedDevice = -1;
    AudioFormat Format;
    int32_t Filled = 0;
    int Dispatches = 0;
    std::function<void()> DuringDispatch;
};

// Whether this process holds the file open.
bool IsOpen(const fs::path& file)
{
    std::error_code ignored;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", ignored))
        if (fs::read_symlink(fd.path(), ignored) == file)
            return true;
    return false;
}

class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = fs::temp_directory_path() /
              ("kelvane-window-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir / "config");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((Dir / "config").string()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((Dir / "data").string()));
        Capture.Messages = &Messages;
    }
    void TearDown() override
    {
        Form.reset();
        fs::remove_all(Dir);
    }

    QtMainWindow& Make()
    {
        DesktopServices desktop;
        SetQtDesktopFolders(desktop);
        desktop.RaisePriority = [] {};
        desktop.ChooseReplayFile = [this](const std::string&) { return ReplayChoice; };
        desktop.ChooseLogFile = [](const std::string& current) { return current; };
        desktop.CtrlHeld = [this] { return Ctrl; };
        desktop.TrayAvailable = [this] { return TrayAvailable; };
        Form = std::make_unique<QtMainWindow>(Messages, Capture, Store, desktop);
        return *Form;
    }
    fs::path StoreFile() const { return Dir / "config" / "Kelvane.ini"; }
    void WriteStore(const std::string& text)
    {
        std::ofstream(StoreFile()) << "[Settings]\n" << text;
    }
    std::string Stored(const std::string& name) const
    {
        QSettings settings(QString::fromStdString(StoreFile().string()), QSettings::IniFormat);
        return settings.value(QString::fromStdString("Settings/" + name)).toString().toStdString();
    }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const ShownMessage& m : Messages.Shown)
            texts.push_back(m.text);
        return texts;
    }
    std::string Caption(QLabel* label) const { return label->text().toStdString(); }

    fs::path Dir;
    RecordingEvents Messages;
    FakeCapture Capture;
    IniSettingsStore Store;
    std::string ReplayChoice;
    bool Ctrl = false;
    bool TrayAvailable = false;
    std::unique_ptr<QtMainWindow> Form;
};

// --- Load and settings ------------------------------------------------------------

TEST_F(Window, FirstStartTakesEveryDefaultAndWritesNothingUntilExit)
{
    QtMainWindow& w = Make();
    w.Logic.Form_Load();
    EXPECT_EQ(w.windowTitle().toStdString(), frmGMSK::VersionCaption());
    EXPECT_EQ(w.windowTitle().toStdString().rfind("Kelvane ", 0), 0u);
    EXPECT_EQ(w.txtPath->text().toStdString(), (Dir / "data" / "Kelvane" / "Kelvane.log").string());
    EXPECT_TRUE(w.cbSerial->isChecked());
    EXPECT_FALSE(w.cbLogfile->isChecked());
    EXPECT_FALSE(w.cbPush->isChecked());
    EXPECT_TRUE(w.txtIPPort->text().isEmpty());
    EXPECT_TRUE(w.opt48000->isChecked());
    EXPECT_EQ(w.Logic.SampleRate, 48000);
    EXPECT_TRUE(w.Logic.UseDLL);
    EXPECT_EQ(w.Logic.BaudRate, 9600);
    EXPECT_EQ(w.cbBaud->currentText(), "4800");
    EXPECT_EQ(w.SoundDevice->count(), 2);
    EXPECT_EQ(w.SoundDevice->itemText(0), "First input");  // the name's field ends at its NUL
    EXPECT_FALSE(w.cbUseDLL->isVisible());
    EXPECT_FALSE(w.lblPreSyncs->isVisible());
    EXPECT_EQ(w.pbLevel->minimum(), 128);
    EXPECT_TRUE(Messages.Shown.empty());
    EXPECT_FALSE(fs::exists(StoreFile())) << "nothing is written before exit";

    w.close();
    EXPECT_EQ(Stored("SamplesPerSecond"), "48000");
    EXPECT_EQ(Stored("UseDLL"), "True");
    EXPECT_EQ(Stored("EnableSerial"), "True");
    EXPECT_EQ(Stored("ComBaudRate"), "4800");
    EXPECT_EQ(Stored("HighSensitivity"), "False");
}

TEST_F(Window, StoredValuesOutOfRangeAreMended)
{
    WriteStore("SoundDeviceNumber=5\nSamplesPerSecond=22050\nComBaudRate=0\n"
               "ComPortNumber=ttyGONE\nenableiplogging=true\nIPPort=\"127.0.0.1:10110,h:2000\"\n"
               "EnableLogfile=banana\nEnableSerial=0\n");
    QtMainWindow& w = Make();
    w.Logic.Form_Load();
    EXPECT_EQ(w.SoundDevice->currentIndex(), 0);
    EXPECT_EQ(w.Logic.SoundDeviceNumber, 0);
    EXPECT_EQ(w.Logic.SampleRate, 44100);
    EXPECT_TRUE(w.opt44100->isChecked());
    EXPECT_EQ(w.cbBaud->currentText(), "38400");
    EXPECT_EQ(w.Logic.ComBaudRate, 38400);
    EXPECT_NE(w.cbPort->currentText(), "ttyGONE");
    EXPECT_TRUE(w.cbPush->isChecked()) << "a name in another case is the same value";
    EXPECT_TRUE(w.txtIPPort->isEnabled());
    EXPECT_EQ(w.txtIPPort->text(), "127.0.0.1:10110,h:2000");
    EXPECT_FALSE(w.cbLogfile->isChecked()) << "a flag that is no flag keeps its default";
    EXPECT_FALSE(w.cbSerial->isChecked());
    w.close();
    EXPECT_EQ(Stored("ComBaudRate"), "38400");
}

TEST_F(Window, SettingsSurviveARoundTrip)
{
    const std::string log = (Dir / "mine.log").string();
    {
        QtMainWindow& w = Make();
        w.Logic.Form_Load();
        w.opt44100->click();
        w.cbLogfile->click();
        w.txtPath->setText(QString::fromStdString(log));
        w.cbPush->click();
        w.txtIPPort->setText("127.0.0.1:10110, 10.0.0.2:2000");
        w.SoundDevice->setCurrentIndex(1);
        w.cbHighSensitivity->click();
        EXPECT_EQ(w.txtTcpServer->text(), "10110");
        w.cbTcpServer->click();
        w.txtTcpServer->setText("127.0.0.1:2947");
        w.cbTcpClient->click();
        w.txtTcpClient->setText("feed.example.org:4001");
        w.cbTagBlocks->click();
        w.txtStationName->setText("bergen-1");
        w.move(30, 40);
        w.close();
    }
    EXPECT_EQ(Stored("EnableTcpServer"), "True");
    EXPECT_EQ(Stored("TcpClientTarget"), "feed.example.org:4001");
    EXPECT_EQ(Stored("SoundDeviceNumber"), "1");
    EXPECT_EQ(Stored("MainLeft"), "450");
    QtMainWindow& again = Make();
    again.Logic.Form_Load();
    EXPECT_TRUE(again.opt44100->isChecked());
    EXPECT_TRUE(again.cbLogfile->isChecked());
    EXPECT_EQ(again.txtPath->text().toStdString(), log);
    EXPECT_TRUE(again.cbPush->isChecked());
    EXPECT_EQ(again.txtIPPort->text(), "127.0.0.1:10110, 10.0.0.2:2000");
    EXPECT_EQ(again.SoundDevice->currentIndex(), 1);
    EXPECT_TRUE(again.cbHighSensitivity->isChecked());
    EXPECT_TRUE(again.Logic.HighSensitivity);
    EXPECT_TRUE(again.cbTcpServer->isChecked() && again.cbTcpClient->isChecked() && again.cbTagBlocks->isChecked());
    EXPECT_EQ(again.txtTcpServer->text(), "127.0.0.1:2947");
    EXPECT_EQ(again.txtStationName->text(), "bergen-1");
    EXPECT_EQ(again.pos(), QPoint(30, 40));
    EXPECT_TRUE(Messages.Shown.empty());
}

// The web view serves while its box is ticked, with the vessel window's
// station; a port it cannot have is said and unticks the box.
TEST_F(Window, WebViewServesWhileTicked)
{
    {
        QtMainWindow& w = Make();
        w.Logic.Form_Load();
        EXPECT_FALSE(w.cbHttp->isChecked());
        EXPECT_EQ(w.txtHttpPort->text(), "8080") << "the default";
        TcpListener taken;
        w.txtHttpPort->setText(QString::number(taken.Port()));
        w.cbHttp->click();
        ASSERT_EQ(Messages.Shown.size(), 1u);
        EXPECT_NE(Messages.Shown[0].text.find("web view"), std::string::npos) << Messages.Shown[0].text;
        EXPECT_FALSE(w.cbHttp->isChecked());
        EXPECT_TRUE(w.txtHttpPort->isEnabled());
        Messages.Shown.clear();

        w.Vessels->SetStation("60.39", "5.32");
        w.txtHttpPort->setText("127.0.0.1:0");
        w.cbHttp->click();
        ASSERT_TRUE(w.Logic.Web.IsOpen());
        EXPECT_FALSE(w.txtHttpPort->isEnabled());
        const std::string url = w.Logic.Web.Url();
        const auto port = static_cast<uint16_t>(std::stoi(url.substr(url.rfind(':') + 1)));
        const HttpAnswer status = HttpGet(port, "/api/status");
        EXPECT_EQ(status.Status, 200);
        EXPECT_NE(status.Body.find("\"station\":{\"lat\":60.39,\"lon\":5.32}"), std::string::npos) << status.Body;
        w.close();
    }
    EXPECT_EQ(Stored("EnableHttp"), "True");
    EXPECT_EQ(Stored("HttpPort"), "127.0.0.1:0");
    QtMainWindow& again = Make();
    again.Logic.Form_Load();
    EXPECT_TRUE(again.cbHttp->isChecked());
    EXPECT_TRUE(again.Logic.Web.IsOpen()) << "serving from the start";
    again.cbHttp->click();
    EXPECT_FALSE(again.Logic.Web.IsOpen());
    EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(Window, StoreErrorsAreNumberedAndShownAndTheProgramGoesOn)
{
    IniSettingsStore store;
    auto number = [&](auto&& call) {
        try {
            call();
        } catch (const SettingsError& e) {
            return std::make_pair(e.Number, std::string(e.what()));
        }
        return std::make_pair(0, std::string());
    };
    using R = std::pair<int32_t, std::string>;
    EXPECT_EQ(number([&] { store.ReadRegSetting(" ", "S", "V", ""); }), (R{-2147220504, "AppName may not be empty"}));
    EXPECT_EQ(number([&] { store.WriteRegSetting("A", "", "V", ""); }), (R{-2147220503, "Section may not be empty"}));
    EXPECT_EQ(number([&] { store.ReadRegSetting("A", "S", "  ", ""); }), (R{-2147220502, "Key may not be empty"}));

    // A value that reads as a list is not a string.
    WriteStore("IPPort=127.0.0.1:10110, 10.0.0.1:2000\n");
    QtMainWindow& w = Make();
    w.Logic.Form_Load();
    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_NE(Messages.Shown[0].text.find("Registry data not a string"), std::string::npos)
        << Messages.Shown[0].text;
    EXPECT_NE(Messages.Shown[0].text.find(std::to_string(SettingsError::Base + 2000 + QMetaType::QStringList)),
              std::string::npos);
    EXPECT_TRUE(w.txtIPPort->text().isEmpty());
    EXPECT_TRUE(w.isVisible());

    // A store that cannot be written: one message at exit, and an end.
    fs::remove(StoreFile());
    fs::create_directories(StoreFile());
    w.close();
    ASSERT_EQ(Messages.Shown.size(), 2u);
    EXPECT_NE(Messages.Shown[1].text.find("Could not open/create registry section"), std::string::npos)
        << Messages.Shown[1].text;
    EXPECT_FALSE(w.isVisible());

    // A store that cannot be read at all (not a file; not settings): its
    // error is shown once for the whole load, and the defaults serve.
    for (int32_t code : {5, 13}) {
        Messages.Shown.clear();
        fs::remove_all(StoreFile());
        if (code == 5)
            fs::create_directories(StoreFile());
        else
            WriteStore("EnableSerial=False\n[Settings\n");
        QtMainWindow& again = Make();
        again.Logic.Form_Load();
        ASSERT_EQ(Texts(), std::vector<std::string>{"Error " + std::to_string(SettingsError::Base + 2000 + code) +
                                                   " reading the setting LogFileName: Could not open registry section"});
        EXPECT_EQ(again.txtTcpServer->text(), "10110") << "the default";
    }
}

// --- Replay --------------------------------------------------------------------------

Bytes Recording(const std::vector<Bytes>& messages, double gap = 0.02, int rate = 48000)
{
    RenderOptions render;
    render.sampleRate = rate;
    SignalGenerator gen(render);
    for (const Bytes& m : messages) {
        gen.AddSilence(gap);
        gen.AddTransmission(m);
    }
    gen.AddSilence(gap);
    return gen.Render();
}

std::vector<Bytes> SomeMessages()
{
    std::vector<Bytes> messages;
    for (const AisMessage& m : ReadAivdmMessages(std::string(KELVANE_TEST_NMEA_DIR) + "/gpsd/sample.aivdm")) {
        try {
            Bytes octets = ArmouredToOctets(m.payload, m.fillBits);
            if (octets.size() <= 124)
                messages.push_back(octets);
        } catch (const std::invalid_argument&) {
        }
        if (messages.size() == 40)
            break;
    }
    return messages;
}

TEST_F(Window, ReplayShowsTheCountersAndLogsWhatTheDecoderPrints)
{
    const std::string wav = (Dir / "traffic.wav").string();
    const std::vector<Bytes> messages = SomeMessages();
    WriteWav(wav, Recording(messages), 48000);
    const std::string log = (Dir / "replay.log").string();

    QtMainWindow& w = Make();
    w.Logic.Form_Load();
    w.cbSerial->setChecked(false);
    w.cbLogfile->setChecked(true);
    w.txtPath->setText(QString::fromStdString(log));
    ReplayChoice = wav;
    w.Logic.cmdReplay_Click();

    EXPECT_TRUE(Messages.Shown.empty()) << Messages.Shown[0].text;
    EXPECT_EQ(w.windowTitle().toStdString(), frmGMSK::VersionCaption() + " - " + wav);
    EXPECT_EQ(Caption(w.lblSyncs), std::to_string(messages.size()));
    EXPECT_EQ(Caption(w.lblValid), std::to_string(messages.size()));
    EXPECT_EQ(Caption(w.lblVPct), "100%");
    EXPECT_EQ(Caption(w.lblEPct), "0%");
    EXPECT_EQ(Caption(w.lblErrors), "");
    const int total = w.Logic.Core.Counters().MsgCount123 + w.Logic.Core.Counters().MsgCount5 + w.Logic.Core.Counters().MsgCount1819 +
                      w.Logic.Core.Counters().MsgCount24 + w.Logic.Core.Counters().MsgCountOther;
    EXPECT_EQ(total, static_cast<int>(messages.size()));
    EXPECT_EQ(Caption(w.lbl5), std::to_string(w.Logic.Core.Counters().MsgCount5));
    EXPECT_EQ(w.cmdReplay->text(), "Replay File");
    EXPECT_TRUE(w.cmdStartMonitoring->isEnabled());
    EXPECT_TRUE(w.txtPath->isEnabled());
    EXPECT_GE(w.pbLevel->value(), 200);
    EXPECT_EQ(w.Logic.LastReplayDir, Dir.string() + "/");

    std::ifstream file(log, std::ios::binary);
    std::stringstream logged;
    logged << file.rdbuf();
    const ProgramResult decoded = RunProgram(KELVANE_DECODE, {wav});
    EXPECT_EQ(logged.str(), decoded.out);

    // High sensitivity: the burst demodulator finds the same messages (the
    // sequence identifiers go on counting from the first replay).
    w.cbHighSensitivity->setChecked(true);
    w.Logic.cmdReplay_Click();
    EXPECT_EQ(Caption(w.lblValid), std::to_string(messages.size()));
    std::ifstream again(log, std::ios::binary);
    std::stringstream burstLog;
    burstLog << again.rdbuf();
    auto withoutIds = [](std::string text) {  // and so without checksums
        for (size_t at = 0; (at = text.find("!AIVDM,", at)) != std::string::npos; ++at) {
            const size_t field = text.find(',', text.find(',', at + 7) + 1) + 1;
            text.erase(field, text.find(',', field) - field);
            text.erase(text.find('*', at), 3);
        }
        return text;
    };
    EXPECT_EQ(withoutIds(burstLog.str()), withoutIds(decoded.out));
    w.cbHighSensitivity->setChecked(false);

    // The built-in demodulator, and a file at another rate that stays.
    const std::string slow = (Dir / "slow.wav").string();
    WriteWav(slow, Recording({messages[0]}, 0.02, 22050), 22050);
    ReplayChoice = slow;
    w.Logic.UseDLL = false;
    w.Logic.cmdReplay_Click();
    EXPECT_EQ(Caption(w.lblValid), "1");
    EXPECT_EQ(Caption(w.lblPreSyncs), "1");
    EXPECT_EQ(w.Logic.SampleRate, 22050);
}

TEST_F(Window, TwoReceiversTakeStereoAndLetterTheChannels)
{
    const std::string stereo = std::string(KELVANE_TEST_AUDIO_DIR) + "/bergen-48k-s16-stereo.wav";
    {
        QtMainWindow& w = Make();
        w.Logic.Form_Load();
        w.cbSerial->setChecked(false);
        EXPECT_EQ(w.cbReceivers->currentText(), "One (mono)");
        EXPECT_FALSE(w.cbSwapAB->isVisible());
        EXPECT_FALSE(w.lblValidAB->isVisible());
        // One receiver: a stereo file is refused as it always was.
        ReplayChoice = stereo;
        w.opt44100->click();
        w.Logic.cmdReplay_Click();
        ASSERT_EQ(Texts(), std::vector<std::string>{stereo + " - Wave data must be 8-bit / mono."});
        EXPECT_EQ(w.Logic.SampleRate, 44100);

        w.cbReceivers->setCurrentIndex(1);
        EXPECT_EQ(w.cbReceivers->currentText(), "Two (stereo: left A, right B)");
        EXPECT_TRUE(w.cbSwapAB->isVisible());
        w.cbSwapAB->click();
        w.Logic.cmdReplay_Click();
        EXPECT_EQ(Texts().size(), 1u);
        EXPECT_TRUE(w.lblValidAB->isVisible());
        const int perSide = w.Logic.Core.Counters().ValidCountA;
        EXPECT_GE(perSide, 4);
        EXPECT_EQ(Caption(w.lblValidAB), std::to_string(perSide) + " / " + std::to_string(perSide));
        EXPECT_EQ(Caption(w.lblValid), std::to_string(2 * perSide));
        EXPECT_EQ(w.Logic.SampleRate, 48000);

        w.Logic.cmdStartMonitoring_Click();
        EXPECT_EQ(Capture.Format.Channels, 2) << "the sound card opens with both inputs";
        w.Logic.cmdStartMonitoring_Click();
        w.close();
    }
    EXPECT_EQ(Stored("Receivers"), "2");
    EXPECT_EQ(Stored("SwapAB"), "True");
    QtMainWindow& again = Make();
    again.Logic.Form_Load();
    EXPECT_EQ(again.cbReceivers->currentIndex(), 1);
    EXPECT_TRUE(again.cbSwapAB->isChecked());
}

TEST_F(Window, BadFilesAreNamedAndCancelClearsCountersOnly)
{
    QtMainWindow& w = Make();
    w.Logic.Form_Load();
    w.cbSerial->setChecked(false);
    w.lblValid->setText("7");
    ReplayChoice = "";
    Ctrl = true;
    w.Logic.cmdReplay_Click();
    EXPECT_EQ(Caption(w.lblValid), "");
    EXPECT_EQ(w.Logic.DemodTrace, 1);
    EXPECT_TRUE(Messages.Shown.empty());

    const std::string text = (Dir / "text.wav").string();
    std::ofstream(text) << "not audio";
    ReplayChoice = text;
    w.Logic.cmdReplay_Click();
    ASSERT_GE(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0].text, text + " - Not a wave file");
    EXPECT_EQ(w.cmdReplay->text(), "Replay File");
}

// --- Vessels --------------------------------------------------------------------------

std::vector<std::string> Column(const frmVessels& v, VesselColumn column)
{
    std::vector<std::string> texts;
    for (int row = 0; row < v.Proxy->rowCount(); ++row)
        texts.push_back(v.Proxy->index(row, static_cast<int>(column)).data().toString().toStdString());
    return texts;
}

TEST_F(Window, TheVesselWindowListsWhoWasHeardSortsFiltersAndAges)
{
    QtMainWindow& w = Make();
    w.Logic.Form_Load();
    w.cbSerial->setChecked(false);
    double now = 1000;
    frmVessels& v = *w.Vessels;
    v.Model->Clock = [&] { return now; };
    v.SetStation("60.3913", "5.3221");  // Bergen
    for (const char* file : {"bergen-48k-u8.wav", "rtl-fm-50k-u8.wav"}) {
        ReplayChoice = std::string(KELVANE_TEST_AUDIO_DIR) + "/" + file;
        w.Logic.cmdReplay_Click();
        now += 30;
    }
    w.Logic.cmdVessels_Click();
    EXPECT_TRUE(v.isVisible());
    v.Table->sortByColumn(static_cast<int>(VesselColumn::Mmsi), Qt::AscendingOrder);
    EXPECT_EQ(Column(v, VesselColumn::Mmsi), (std::vector<std::string>{"002573235", "257786980", "258031000"}));
    EXPECT_EQ(Column(v, VesselColumn::Messages), (std::vector<std::string>{"2", "2", "1"}));
    EXPECT_EQ(Column(v, VesselColumn::Type)[0], "Base station");
    EXPECT_EQ(Column(v, VesselColumn::Channels)[0], "") << "one receiver: no channel";
    EXPECT_EQ(Column(v, VesselColumn::Distance)[1], "0.4 nm");
    EXPECT_EQ(Column(v, VesselColumn::Bearing)[1], "335\u00B0");
    EXPECT_NE(Column(v, VesselColumn::Level)[2].find(" dB"), std::string::npos);
    // The ages move on every second; the youngest first when sorted by age.
    now += 65;
    v.AgeTimer_Timer();
    v.Table->sortByColumn(static_cast<int>(VesselColumn::LastHeard), Qt::AscendingOrder);
    EXPECT_EQ(Column(v, VesselColumn::LastHeard), (std::vector<std::string>{"1 min 35 s", "2 min 5 s", "2 min 5 s"}));
    EXPECT_EQ(Column(v, VesselColumn::Mmsi)[0], "257786980") << "heard again on the second recording";
    v.Table->sortByColumn(static_cast<int>(VesselColumn::Distance), Qt::DescendingOrder);
    EXPECT_EQ(Column(v, VesselColumn::Mmsi), (std::vector<std::string>{"002573235", "258031000", "257786980"}));
    // Filtering, the details of one, and clearing.
    v.txtFilter->setText("base");
    EXPECT_EQ(Column(v, VesselColumn::Mmsi), std::vector<std::string>{"002573235"});
    v.Table->selectRow(0);
    const std::string details = v.txtDetails->toPlainText().toStdString();
    EXPECT_NE(details.find("mmsi: 2573235"), std::string::npos) << details;
    EXPECT_NE(details.find("!AIVDM,1,1,,,402M3div"), std::string::npos) << details;
    v.txtFilter->clear();
    if (const QByteArray path = qgetenv("KELVANE_VESSELS_SCREENSHOT"); !path.isEmpty()) {
        v.resize(1100, 420);
        QApplication::processEvents();
        v.grab().save(QString::fromUtf8(path));
    }
    v.cmdClear_Click();
    EXPECT_EQ(v.Proxy->rowCount(), 0);
    // The station and the window's place are kept.
    w.close();
    EXPECT_EQ(Stored("StationLatitude"), "60.3913");
    const std::string box = Stored("VesselsWindow");
    EXPECT_EQ(std::count(box.begin(), box.end(), ','), 3) << box;
}

// The Windows window is laid out from the same table: the two must not drift.
TEST_F(Window, ControlsStandWhereTheLayoutPutsThemWithItsCaptions)
{
    QtMainWindow& w = Make();
    int named = 0;
    for (const LaidOut& item : MainWindowLayout()) {
        if (!item.Name)
            continue;
        ++named;
        const QWidget* widget = w.Widget(*item.Name);
        ASSERT_NE(widget, nullptr);
        const QPoint at = widget->mapTo(&w, QPoint(0, 0));
        const TwipRect place = PixelPlace(item);
        EXPECT_EQ(QRect(at, widget->size()), QRect(place.Left, place.Top, place.Width, place.Height))
            << item.Caption << " #" << static_cast<int>(*item.Name);
        const bool captioned = item.Kind == ControlKind::Button || item.Kind == ControlKind::CheckBox ||
                               item.Kind == ControlKind::OptionButton || item.Kind == ControlKind::Label;
        // The browse button shows an icon here, dots there.
        if (captioned && std::string(item.Caption) != "...") {
            EXPECT_EQ(w.Text(*item.Name), item.Caption);
        }
    }
    EXPECT_EQ(named, static_cast<int>(Control::lblHttp) + 1) << "every control is laid out";
    EXPECT_EQ(w.width(), WindowWidthTwips / 15);
}

TEST(WindowCaptions, PercentagesRoundHalvesUp)
{
    EXPECT_EQ(frmGMSK::Percent(1, 8), "13%");
    EXPECT_EQ(frmGMSK::Percent(756, 1000), "76%");
    EXPECT_EQ(frmGMSK::Percent(1, 3), "33%");
    EXPECT_EQ(frmGMSK::Percent(2, 3), "67%");
    EXPECT_EQ(frmGMSK::Percent(0, 0), "0%");
}

TEST(FileDialogs, ReplayTakesWavFilesAndTheLogGetsItsExtension)
{
    const auto replay = MakeReplayDialog(nullptr, "/tmp");
    EXPECT_EQ(replay->windowTitle(), "Select Wav File");
    EXPECT_EQ(replay->defaultSuffix(), "wav");
    EXPECT_EQ(replay->nameFilters(), QStringList{"*.wav"});
    EXPECT_EQ(replay->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(replay->directory().absolutePath(), "/tmp");
    const auto log = MakeLogDialog(nullptr, "/tmp/ais.log");
    EXPECT_EQ(log->defaultSuffix(), "log");
    EXPECT_EQ(log->fileMode(), QFileDialog::AnyFile);
}

TEST_F(Window, SpeedCheckComparesWholeSecondsWithTheAudio)
{
    QtMainWindow& w = Make();
    w.Logic.Form_Load();
    w.cbSerial->setChecked(false);
    // A replay that takes more than a second for 4 blocks at a rate whose
    // audio lasts a few milliseconds...
    const std::string fast = (Dir / "fast.wav").string();
    WriteWav(fast, Bytes(4 * 8192, 128), 10000000);
    ReplayChoice = fast;
    QTimer::singleShot(0, [] { std::this_thread::sleep_for(std::chrono::milliseconds(1100)); });
    w.Logic.cmdReplay_Click();
    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0].text, "This machine is too slow for realtime monitoring at 10000000!");
    // ...and none for audio that lasts longer than its replay.
    const std::string slow = (Dir / "slow.wav").string();
    WriteWav(slow, Bytes(4 * 8192, 128), 8000);
    ReplayChoice = slow;
    w.Logic.cmdReplay_Click();
    EXPECT_EQ(Messages.Shown.size(), 1u);
}

TEST_F(Window, StopReplayAndCloseRequestsEndTheReplayAfterOneMoreBlockAtMost)
{
    // One transmission per block of 8192 samples: the Valid count is the
    // number of blocks processed.
    std::vector<Bytes> messages(40, ArmouredToOctets("13mn4I0P000HEd>RSk<8Vgv406bh"));
    const std::string wav = (Dir / "long.wav").string();
    WriteWav(wav, Recording(messages, 8192.0 / 48000 - 0.0266), 48000);
    QtMainWindow& w = Make();
    w.Logic.Form_Load();
    w.cbSerial->setChecked(false);
    ReplayChoice = wav;
    QTimer::singleShot(0, [&w] { w.cmdReplay->click(); });  // Stop Replay
    w.Logic.cmdReplay_Click();
    EXPECT_LE(w.Logic.Core.Counters().ValidCount, 2);
    EXPECT_EQ(w.cmdReplay->text(), "Replay File");

    bool closed = true;
    QTimer::singleShot(0, [&] { closed = w.close(); });
    w.Logic.cmdReplay_Click();
    EXPECT_FALSE(closed) << "a close request during a replay is cancelled";
    EXPECT_LE(w.Logic.Core.Counters().ValidCount, 2);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.close()) << "a second one closes";
}

// --- Monitoring ------------------------------------------------------------------------

TEST_F(Window, StartAndStopAgainstTheCapture)
{
    QtMainWindow& w = Make();
    w.Logic.Form_Load();
    w.cbSerial->setChecked(false);
    w.cbLogfile->setChecked(true);
    w.txtPath->setText(QString::fromStdString((Dir / "live.log").string()));
    w.SoundDevice->setCurrentIndex(1);

    Capture.OpenSucceeds = false;
    w.cmdStartMonitoring->click();
    EXPECT_EQ(Texts(), (std::vector<std::string>{
                           "An error occured while attempting to open audio device.    The device "
                           "number (1) cannot be found.",
                           "Start Monitoring Failed!"}));
    EXPECT_FALSE(w.Logic.MonitoringActive);
    EXPECT_FALSE(IsOpen(Dir / "live.log")) << "the outputs close again";
    EXPECT_EQ(w.cmdStartMonitoring->text(), "Start Monitoring");

    Capture.OpenSucceeds = true;
    w.cmdStartMonitoring->click();
    EXPECT_TRUE(w.Logic.MonitoringActive);
    EXPECT_TRUE(Capture.Open);
    EXPECT_TRUE(IsOpen(Dir / "live.log"));
    EXPECT_EQ(w.cmdStartMonitoring->text(), "Stop Monitoring");
    EXPECT_FALSE(w.cmdReplay->isEnabled());
    EXPECT_FALSE(w.SoundDevice->isEnabled());
    EXPECT_FALSE(w.cbHighSensitivity->isEnabled());
    EXPECT_TRUE(w.Timer->isActive());
    EXPECT_EQ(w.Timer->interval(), 250);

    w.cmdStartMonitoring->click();
    EXPECT_FALSE(w.Logic.MonitoringActive);
    EXPECT_FALSE(Capture.Open);
    EXPECT_FALSE(IsOpen(Dir / "live.log"));
    EXPECT_FALSE(w.Timer->isActive());
    EXPECT_TRUE(w.cmdReplay->isEnabled());
    EXPECT_TRUE(w.SoundDevice->isEnabled());
}

TEST_F(Window, TimerCountsOverrunsAndKeepsToOneDispatch)
{
    QtMainWindow& w = Make();
    w.Logic.Form_Load();
    w.cbSerial->setChecked(false);
    w.cmdStartMonitoring->click();
    ASSERT_TRUE(w.Logic.MonitoringActive);

    Capture.Filled = 0;
    w.Logic.Timer_Timer();
    EXPECT_EQ(Capture.Dispatches, 0);
    Capture.Filled = 30;
    w.Logic.Timer_Timer();
    EXPECT_EQ(w.Logic.Core.Counters().OverrunCount, 1);
    EXPECT_EQ(Caption(w.lblOverruns), "1");
    EXPECT_EQ(Capture.Dispatches, 1);

    // A tick and a Stop while a dispatch runs: no second dispatch, and the
    // capture closes only once the dispatch is over.
    Capture.Filled = 2;
    Capture.DuringDispatch = [&] {
        Capture.Filled = 30;
        w.Logic.Timer_Timer();
        w.cmdStartMonitoring->click();
        EXPECT_TRUE(Capture.Open);
    };
    w.Logic.Timer_Timer();
    EXPECT_EQ(Capture.Dispatches, 2);
    EXPECT_EQ(w.Logic.Core.Counters().OverrunCount, 1);
    EXPECT_FALSE(w.Logic.MonitoringActive);
    EXPECT_FALSE(Capture.Open);

    // A close request during a dispatch: monitoring stops first, then the
    // window closes.
    Capture.DuringDispatch = [&] { w.close(); EXPECT_TRUE(Capture.Open); };
    w.cmdStartMonitoring->click();
    Capture.Filled = 1;
    w.Logic.Timer_Timer();
    EXPECT_FALSE(w.Logic.MonitoringActive);
    EXPECT_FALSE(Capture.Open);
    EXPECT_FALSE(w.isVisible());
}

// --- Tray ---------------------------------------------------------------------------------

TEST_F(Window, MinimisingHidesIntoTheTrayOnlyWhereThereIsOne)
{
    QtMainWindow& w = Make();
    w.Logic.Form_Load();
    // The program's icon, drawn, on the window and in the tray.
    for (const QIcon& icon : {w.windowIcon(), w.Tray->icon()})
        EXPECT_FALSE(icon.pixmap(22).toImage().isNull());
    w.showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(w.isVisible()) << "without a tray the window stays reachable";
    w.showNormal();

    TrayAvailable = true;
    w.showMinimized();
    QApplication::processEvents();
    EXPECT_FALSE(w.isVisible());
    ReceiveCounters counts;
    counts.SyncCount = 3;
    counts.ValidCount = 1;
    w.Logic.CounterChanged(Counter::Valid, counts);
    EXPECT_EQ(w.Tray->toolTip(), "33% valid.");
    EXPECT_EQ(Caption(w.lblVPct), "33%");
    EXPECT_EQ(Caption(w.lblEPct), "0%");
    w.mnuShow_Click();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.isMinimized());
}

TEST_F(Window, StartMinimisedMonitorsAndHides)
{
    WriteStore("EnableStartMin=True\nEnableSerial=False\n");
    TrayAvailable = true;
    QtMainWindow& w = Make();
    w.Logic.Form_Load();
    QApplication::processEvents();
    EXPECT_TRUE(w.Logic.MonitoringActive);
    EXPECT_TRUE(w.cbStartMinMon->isChecked());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.Tray->toolTip(), "0% Valid");
    // Exit from the tray stops monitoring and keeps the stored position.
    WriteStore("EnableStartMin=True\nEnableSerial=False\nMainTop=150\n");
    w.Logic.mnuExit_Click();
    EXPECT_FALSE(w.Logic.MonitoringActive);
    EXPECT_FALSE(Capture.Open);
    EXPECT_EQ(Stored("MainTop"), "150");
}

TEST_F(Window, Screenshot)
{
    const QByteArray path = qgetenv("KELVANE_SCREENSHOT");
    if (path.isEmpty())
        GTEST_SKIP() << "set KELVANE_SCREENSHOT to a PNG path to take one";
    const std::string wav = std::string(KELVANE_TEST_AUDIO_DIR) + "/bergen-48k-s16-stereo.wav";
    QtMainWindow& w = Make();
    w.Logic.Form_Load();
    w.cbSerial->setChecked(false);
    w.cbReceivers->setCurrentIndex(1);
    w.cbPush->setChecked(true);
    w.txtIPPort->setText("127.0.0.1:10110");
    ReplayChoice = wav;
    w.Logic.cmdReplay_Click();
    w.setWindowTitle(QString::fromStdString(frmGMSK::VersionCaption()));
    w.txtPath->setText("/home/skipper/.local/share/Kelvane/Kelvane.log");
    w.pbLevel->setValue(230);
    ASSERT_TRUE(w.grab().save(QString::fromUtf8(path)));
}

}  // namespace
}  // namespace kelvane::test
