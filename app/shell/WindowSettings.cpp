// The window's settings: read once as it loads, written once as it unloads;
// a store error is shown with its number and the defaults serve.
#include "shell/frmGMSK.h"

#include "shell/WindowCommon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QStandardPaths>

#include <filesystem>
#include <tuple>

namespace kelvane {

using namespace shell;

namespace {

constexpr const char* Section = "Settings";

}  // namespace

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
    // The program's folder is not writable here: the log goes to the
    // user's data folder, which is made when missing.
    const QString dataFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Kelvane";
    std::error_code ignored;
    std::filesystem::create_directories(dataFolder.toStdString(), ignored);
    const std::string defaultLog = (std::filesystem::path(dataFolder.toStdString()) / "Kelvane.log").string();
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
         {std::tuple{"EnableSerial", "True", &EnableSerial},
          std::tuple{"EnableLogfile", "False", &EnableLogfile},
          std::tuple{"EnableIPLogging", "False", &EnableIPLogging}}) {
        text = ReadSetting(name, defaultText);
        if (!text.empty())
            ParseFlag(text, *target);  // a text that is no flag keeps the default
    }
    txtIPPort->setText(Q(ReadSetting("IPPort", "")));
    for (auto [name, defaultText, target] :
         {std::tuple{"EnableTcpServer", "False", &EnableTcpServer},
          std::tuple{"EnableTcpClient", "False", &EnableTcpClient},
          std::tuple{"EnableTagBlocks", "False", &EnableTagBlocks}}) {
        text = ReadSetting(name, defaultText);
        if (!text.empty())
            ParseFlag(text, *target);
    }
    // 10110: the port registered for NMEA 0183 over TCP.
    txtTcpServer->setText(Q(ReadSetting("TcpServerPort", "10110")));
    txtTcpClient->setText(Q(ReadSetting("TcpClientTarget", "")));
    txtStationName->setText(Q(ReadSetting("StationName", "")));
    text = ReadSetting("EnableHttp", "False");
    if (!text.empty())
        ParseFlag(text, EnableHttp);
    // A port alone: the page on this computer only (127.0.0.1).
    txtHttpPort->setText(Q(ReadSetting("HttpPort", "8080")));
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
    WriteSetting("EnableSerial", flag(EnableSerial));
    WriteSetting("EnableLogfile", flag(EnableLogfile));
    WriteSetting("EnableIPLogging", flag(EnableIPLogging));
    WriteSetting("IPPort", txtIPPort->text().toStdString());
    WriteSetting("EnableTcpServer", flag(EnableTcpServer));
    WriteSetting("TcpServerPort", txtTcpServer->text().toStdString());
    WriteSetting("EnableTcpClient", flag(EnableTcpClient));
    WriteSetting("TcpClientTarget", txtTcpClient->text().toStdString());
    WriteSetting("EnableTagBlocks", flag(EnableTagBlocks));
    WriteSetting("StationName", txtStationName->text().toStdString());
    WriteSetting("EnableHttp", flag(EnableHttp));
    WriteSetting("HttpPort", txtHttpPort->text().toStdString());
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

}  // namespace kelvane
