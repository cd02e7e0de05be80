// What the station opens for a run and how: the outputs as values, checked
// for their form before anything opens.
#pragma once

#include <string>
#include <vector>

namespace kelvane {

enum class OutputKind { Serial, Log, Udp, TcpServer, TcpClient, TagBlocks };

struct OutputSettings {
    bool Serial = false;
    std::string SerialPort;                      // ttyUSB0, a device path, COM3
    std::string SerialSettings = "38400,n,8,1";  // as for the mode command
    bool Log = false;
    std::string LogPath;
    bool Udp = false;
    std::string UdpList;           // "host:port,host:port"
    bool TcpServer = false;
    std::string TcpServerAddress;  // "[ADDRESS:]PORT"
    bool TcpClient = false;
    std::string TcpClientTarget;   // "HOST:PORT"
    bool TagBlocks = false;
    std::string StationName;
};

struct OutputSettingProblem {
    OutputKind Output;
    std::string Value;  // as given
    std::string Why;
};

// What is wrong with the form of each switched-on output's values (a
// destination list, an address, a settings text, a station name), before
// anything is opened; empty when nothing is.
std::vector<OutputSettingProblem> CheckOutputSettings(const OutputSettings& settings);

}  // namespace kelvane
