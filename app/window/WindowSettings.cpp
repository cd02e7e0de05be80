// The window's settings: read once as it loads, written once as it unloads;
// a store error is shown with its number and the defaults serve.
#include "window/frmGMSK.h"

#include <filesystem>
#include <tuple>

namespace kelvane {

using C = Control;

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
    // An installed program's folder is not writable: the log goes to the
    // user's data folder, which is made when missing.
    const std::filesystem::path dataFolder = Desktop.DataFolder();
    std::error_code ignored;
    std::filesystem::create_directories(dataFolder, ignored);
    const std::string defaultLog = (dataFolder / "Kelvane.log").string();
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
    View.SetText(C::txtIPPort, ReadSetting("IPPort", ""));
    for (auto [name, defaultText, target] :
         {std::tuple{"EnableTcpServer", "False", &EnableTcpServer},
          std::tuple{"EnableTcpClient", "False", &EnableTcpClient},
          std::tuple{"EnableTagBlocks", "False", &EnableTagBlocks}}) {
        text = ReadSetting(name, defaultText);
        if (!text.empty())
            ParseFlag(text, *target);
    }
    // 10110: the port registered for NMEA 0183 over TCP.
    View.SetText(C::txtTcpServer, ReadSetting("TcpServerPort", "10110"));
    View.SetText(C::txtTcpClient, ReadSetting("TcpClientTarget", ""));
    View.SetText(C::txtStationName, ReadSetting("StationName", ""));
    text = ReadSetting("EnableHttp", "False");
    if (!text.empty())
        ParseFlag(text, EnableHttp);
    // A port alone: the page on this computer only (127.0.0.1).
    View.SetText(C::txtHttpPort, ReadSetting("HttpPort", "8080"));
    Vessels.SetStation(ReadSetting("StationLatitude", ""), ReadSetting("StationLongitude", ""));
    // "left,top,width,height" in pixels, where the window was last.
    Vessels.SetPlacement(ReadSetting("VesselsWindow", ""));
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
    // Kept in twips, 15 to a pixel.
    int left = 0;
    int top = 0;
    View.Position(left, top);
    text = ReadSetting("MainTop", "0");
    if (!text.empty())
        top = LeadingNumber(text) / 15;
    text = ReadSetting("MainLeft", "0");
    if (!text.empty())
        left = LeadingNumber(text) / 15;
    View.MoveTo(left, top);
    SettingsFailed = false;  // a failed read does not stop the save at exit
}

void frmGMSK::SaveSettings()
{
    if (View.SelectedIndex(C::SoundDevice) >= 0 && View.ItemCount(C::SoundDevice) > 0 &&
        View.Text(C::SoundDevice) != "Device not found.")
        SoundDeviceNumber = View.SelectedIndex(C::SoundDevice);
    auto flag = [](bool value) { return std::string(value ? "True" : "False"); };
    WriteSetting("LogFileName", LogFileName);
    WriteSetting("ComPortNumber", View.Text(C::cbPort));
    WriteSetting("ComBaudRate", View.Text(C::cbBaud));
    WriteSetting("SoundDeviceNumber", std::to_string(SoundDeviceNumber));
    WriteSetting("SamplesPerSecond", std::to_string(SampleRate));
    WriteSetting("UseDLL", flag(UseDLL));
    WriteSetting("EnableSerial", flag(EnableSerial));
    WriteSetting("EnableLogfile", flag(EnableLogfile));
    WriteSetting("EnableIPLogging", flag(EnableIPLogging));
    WriteSetting("IPPort", View.Text(C::txtIPPort));
    WriteSetting("EnableTcpServer", flag(EnableTcpServer));
    WriteSetting("TcpServerPort", View.Text(C::txtTcpServer));
    WriteSetting("EnableTcpClient", flag(EnableTcpClient));
    WriteSetting("TcpClientTarget", View.Text(C::txtTcpClient));
    WriteSetting("EnableTagBlocks", flag(EnableTagBlocks));
    WriteSetting("StationName", View.Text(C::txtStationName));
    WriteSetting("EnableHttp", flag(EnableHttp));
    WriteSetting("HttpPort", View.Text(C::txtHttpPort));
    WriteSetting("StationLatitude", Vessels.StationLatitude());
    WriteSetting("StationLongitude", Vessels.StationLongitude());
    WriteSetting("VesselsWindow", Vessels.Placement());
    WriteSetting("EnableStartMin", flag(EnableStartMin));
    WriteSetting("HighSensitivity", flag(HighSensitivity));
    WriteSetting("Receivers", std::to_string(Receivers));
    WriteSetting("SwapAB", flag(SwapAB));
    if (!View.IsMinimised()) {
        int left = 0;
        int top = 0;
        View.Position(left, top);
        WriteSetting("MainTop", std::to_string(top * 15));
        WriteSetting("MainLeft", std::to_string(left * 15));
    }
}

}  // namespace kelvane
