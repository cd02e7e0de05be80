// kelvane-decode's command line.
#pragma once

#include "station/OutputSettings.h"

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
    // --log, --serial PORT[,SETTINGS], --udp, --tcp-server, --tcp,
    // --tag-blocks
    OutputSettings Outputs;
    bool ListDevices = false;    // --list-devices
    int Device = -1;             // --device N: live from that input device
    int Rate = 48000;            // --rate 44100|48000
    bool Stereo = false;         // --stereo: two receivers on the device's two inputs
    bool SwapChannels = false;   // --swap-channels: left is B, right is A
    std::string RecordPath;      // --record FILE.wav: the live audio as received
    // --http [ADDRESS:]PORT: the web view (on 127.0.0.1 unless an address
    // is given); --keep-serving: after a file's end, until interrupted.
    bool Http = false;
    std::string HttpAddress;
    bool KeepServing = false;
    // --station LAT,LON: where the receiver is, degrees north and east.
    bool HasStation = false;
    double StationLat = 0;
    double StationLon = 0;
};

// Fills options from the arguments and checks every value whose form can be
// checked before anything opens; returns "" or what is wrong, naming the
// option and the value.
std::string ParseDecodeOptions(const std::vector<std::string>& args, DecodeOptions& options);

// The option that sets an output, for messages.
const char* OptionOf(OutputKind output);

extern const char* const DecodeUsage;
extern const char* const DecodeHelp;

}  // namespace kelvane
