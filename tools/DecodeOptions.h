// kelvane-decode's command line.
#pragma once

#include <string>
#include <vector>

namespace kelvane {

struct DecodeOptions {
    std::string Demod = "library";  // --demod library|builtin|burst
    bool Repair = true;              // --no-repair turns the burst repair off
    bool Trace = false;
    bool Quiet = false;
    bool Json = false;           // --json: one JSON object per message instead of sentences
    bool Help = false;
    std::string File;
    std::string LogPath;         // --log
    std::string SerialPort;      // --serial PORT[,SETTINGS]
    std::string SerialSettings;  //   default "38400,n,8,1"
    std::string UdpList;         // --udp "HOST:PORT,HOST:PORT"
    bool UseSerial = false;
    bool UseLog = false;
    bool UseUdp = false;
    std::string TcpServer;       // --tcp-server [ADDRESS:]PORT
    std::string TcpClient;       // --tcp HOST:PORT
    std::string StationName;     // --tag-blocks STATION
    bool ListDevices = false;    // --list-devices
    int Device = -1;             // --device N: live from that input device
    int Rate = 48000;            // --rate 44100|48000
    bool Stereo = false;         // --stereo: two receivers on the device's two inputs
    bool SwapChannels = false;   // --swap-channels: left is B, right is A
    std::string RecordPath;      // --record FILE.wav: the live audio as received
};

// Fills options from the arguments; returns "" or what is wrong with them.
std::string ParseDecodeOptions(const std::vector<std::string>& args, DecodeOptions& options);

extern const char* const DecodeUsage;
extern const char* const DecodeHelp;

}  // namespace kelvane
