#include "DecodeOptions.h"

#include "web/WebView.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace kelvane {

const char* const DecodeUsage =
    "usage: kelvane-decode [--demod library|builtin|burst] [--no-repair] [--trace] [--quiet] [--json]\n"
    "                      [--log PATH]\n"
    "                      [--serial PORT[,SETTINGS]] [--udp HOST:PORT,...] [--swap-channels]\n"
    "                      [--tcp-server [ADDRESS:]PORT] [--tcp HOST:PORT] [--tag-blocks STATION]\n"
    "                      [--http [ADDRESS:]PORT [--keep-serving]] [--station LAT,LON]\n"
    "                      FILE.wav | --device N [--rate 44100|48000] [--stereo]\n"
    "                                            [--record FILE.wav]\n"
    "       kelvane-decode --list-devices\n";

const char* const DecodeHelp =
    "usage: kelvane-decode [OPTIONS] FILE.wav\n"
    "       kelvane-decode [OPTIONS] --device N [--rate 44100|48000] [--stereo]\n"
    "       kelvane-decode --list-devices\n"
    "\n"
    "Decodes AIS messages from a recording of a VHF receiver's discriminator\n"
    "output (a PCM WAV file, 8-bit unsigned or 16-bit signed, mono or stereo,\n"
    "any sample rate; FILE \"-\" reads the WAV from standard input), or live\n"
    "from a sound card's input, and writes their !AIVDM sentences to standard\n"
    "output, each ending CR LF, exactly as the program's log file holds them.\n"
    "\n"
    "Two receivers: AIS has two radio channels, A (161.975 MHz) and B\n"
    "(162.025 MHz). With one receiver on each, wired to the left and right\n"
    "inputs of a stereo sound card, each side is decoded on its own and every\n"
    "sentence carries its channel's letter: left A, right B. A stereo file is\n"
    "decoded the same way; a mono one leaves the channel field empty.\n"
    "  --swap-channels      left is B and right is A\n"
    "\n"
    "Live input:\n"
    "  --list-devices       list the input devices, one a line: the number that\n"
    "                       --device takes, then the name\n"
    "  --device N           decode live from input device N until interrupted\n"
#ifdef _WIN32
    "                       (Ctrl+C, Ctrl+Break or closing its console: the\n"
    "                       outputs are flushed and closed and the counters\n"
    "                       printed)\n"
#else
    "                       (Ctrl-C or SIGTERM: the outputs are flushed and\n"
    "                       closed and the counters printed)\n"
#endif
    "  --rate R             the sampling rate, 44100 or 48000 (default 48000)\n"
    "  --stereo             record both inputs of the device: two receivers\n"
    "  --record FILE.wav    also write the audio as received (16-bit where the\n"
    "                       device gives it), to replay the same air later with\n"
    "                       other settings\n"
    "\n"
    "Demodulator:\n"
    "  --demod NAME         library: the Brinecore library (the default);\n"
    "                       builtin: the program's built-in demodulator;\n"
    "                       burst: the burst demodulator, for weak and distorted\n"
    "                       signals (the window's \"High sensitivity\")\n"
    "  --builtin            short for --demod builtin\n"
    "  --no-repair          the burst demodulator without its repair search\n"
    "  --trace              ask the Brinecore library for its trace (text on\n"
    "                       standard error, bit trace in\n"
#ifdef _WIN32
    "                       e:\\Scanner\\Kelvane\\debug.txt)\n"
#else
    "                       $XDG_STATE_HOME/Kelvane/debug.txt)\n"
#endif
    "\n"
    "Outputs, each optional, all combinable, as the program's window has them:\n"
    "  --log PATH           write the sentences to a log file, emptied first\n"
    "  --serial PORT[,SETTINGS]\n"
#ifdef _WIN32
    "                       send them to a serial port (COM1, COM2, ...);\n"
    "                       SETTINGS as for the mode command, default\n"
#else
    "                       send them to a serial port (ttyUSB0 or a device\n"
    "                       path); SETTINGS as for the mode command, default\n"
#endif
    "                       38400,n,8,1\n"
    "  --udp HOST:PORT,...  send each message as one datagram to every\n"
    "                       destination (ports 1000 to 65000); names are looked\n"
    "                       up without holding up reception\n"
    "  --tcp-server [ADDRESS:]PORT\n"
    "                       serve every message to each TCP client that connects\n"
    "                       (OpenCPN and other plotters; 10110 is the port\n"
    "                       registered for NMEA 0183), on all interfaces unless\n"
    "                       an address is given; up to 64 clients, a client that\n"
    "                       stops reading is let go after 1 MiB\n"
    "  --tcp HOST:PORT      push every message to a TCP listener (an aggregator,\n"
    "                       a plotter), connecting again after any failure (1 s,\n"
    "                       doubling to a minute between tries); messages made\n"
    "                       while it is not connected are dropped and counted\n"
    "  --tag-blocks STATION put an NMEA 4.0 tag block (station name, Unix time of\n"
    "                       decoding, and the group of a multi-sentence message)\n"
    "                       before each sentence of the log, standard output and\n"
    "                       the network outputs; never on the serial port\n"
    "  --json               one JSON object per message on standard output instead\n"
    "                       of its sentences: gpsd's AIS field names (mmsi, lat,\n"
    "                       lon, speed, course, heading, shipname, ...) and\n"
    "                       channel, signal_db (level, dB of full scale) and\n"
    "                       snr_db (burst demodulator); the outputs still carry\n"
    "                       sentences\n"
    "  --quiet              nothing on standard output\n"
    "  --help               show this text\n"
    "\n"
    "Web view, for a station without a screen:\n"
    "  --http [ADDRESS:]PORT\n"
    "                       serve a page with the station's counts, the vessels\n"
    "                       in a list and on a chart, and traffic plots, updated\n"
    "                       live, and its JSON for scripts (/api/status,\n"
    "                       /api/vessels, /api/messages); read-only. On\n"
    "                       127.0.0.1 unless an address is given: 0.0.0.0 (or\n"
    "                       [::]) shows it to every network the computer is on.\n"
    "                       Port 0 takes a free port; the address is printed.\n"
    "  --keep-serving       after the file's end, go on serving the page until\n"
    "                       interrupted\n"
    "  --station LAT,LON    the receiver's position in degrees (north and east\n"
    "                       positive), for distances, bearings and range rings\n"
    "\n"
    "The library is loaded by name from the program's folder, then the system's\n"
    "search path; if it cannot be loaded, a message says so and the built-in\n"
    "demodulator serves. A value that cannot work (a destination list, an\n"
    "address, a port, serial settings, a station name) is refused before\n"
    "anything opens, with exit status 2. An output that fails to open when the\n"
    "run starts (a port that is busy, a device that is gone) is reported and\n"
    "left out; the others go on.\n"
    "\n"
    "At the end the counters (Syncs, Valid, Errors, PreSyncs and the message\n"
    "types; with two channels the valid frames of each) and the speed as\n"
    "\"x real time\" go to standard error; with the burst demodulator also its\n"
    "frame checks, each a 1 in 65536 chance of a false message; and for each\n"
    "network output what it sent, dropped and how often it reconnected.\n"
    "\n"
    "Exit status: 0 when the file was read to its end or live decoding was\n"
    "stopped, 1 when the file could not be read (the message names the file)\n"
    "or the device could not be opened, 2 for bad usage (an unknown option or\n"
    "a malformed value).\n";

const char* OptionOf(OutputKind output)
{
    switch (output) {
    case OutputKind::Serial: return "--serial";
    case OutputKind::Log: return "--log";
    case OutputKind::Udp: return "--udp";
    case OutputKind::TcpServer: return "--tcp-server";
    case OutputKind::TcpClient: return "--tcp";
    case OutputKind::TagBlocks: return "--tag-blocks";
    }
    return "";
}

namespace {

// "LAT,LON" in degrees, each within its range.
bool ParseStation(const std::string& text, double& lat, double& lon)
{
    const size_t comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    auto number = [](std::string_view part, double& value) {
        while (!part.empty() && part.front() == ' ')
            part.remove_prefix(1);
        while (!part.empty() && part.back() == ' ')
            part.remove_suffix(1);
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        return !part.empty() && error == std::errc() && end == part.data() + part.size() && std::isfinite(value);
    };
    const std::string_view all(text);
    return number(all.substr(0, comma), lat) && number(all.substr(comma + 1), lon) && std::abs(lat) <= 90 &&
           std::abs(lon) <= 180;
}

}  // namespace

std::string ParseDecodeOptions(const std::vector<std::string>& args, DecodeOptions& options)
{
    bool haveFile = false;
    OutputSettings& outputs = options.Outputs;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            const size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
                arg = arg.substr(0, equals);
                hasValue = true;
            }
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args[++i];
            return true;
        };
        if (arg == "--builtin") {
            options.Demod = "builtin";
        } else if (arg == "--demod") {
            if (!takeValue() || (value != "library" && value != "builtin" && value != "burst"))
                return "--demod takes library, builtin or burst";
            options.Demod = value;
        } else if (arg == "--no-repair") {
            options.Repair = false;
        } else if (arg == "--trace") {
            options.Trace = true;
        } else if (arg == "--quiet") {
            options.Quiet = true;
        } else if (arg == "--json") {
            options.Json = true;
        } else if (arg == "--help" || arg == "-h") {
            options.Help = true;
        } else if (arg == "--log") {
            if (!takeValue() || value.empty())
                return "--log needs a file path";
            outputs.LogPath = value;
            outputs.Log = true;
        } else if (arg == "--serial") {
            if (!takeValue() || value.empty())
                return "--serial needs a port";
            const size_t comma = value.find(',');
            outputs.SerialPort = value.substr(0, comma);
            if (comma != std::string::npos)
                outputs.SerialSettings = value.substr(comma + 1);
            outputs.Serial = true;
        } else if (arg == "--udp") {
            if (!takeValue() || value.empty())
                return "--udp needs a list of destinations";
            outputs.UdpList = value;
            outputs.Udp = true;
        } else if (arg == "--tcp-server") {
            if (!takeValue() || value.empty())
                return "--tcp-server needs a port or ADDRESS:PORT";
            outputs.TcpServerAddress = value;
            outputs.TcpServer = true;
        } else if (arg == "--tcp") {
            if (!takeValue() || value.empty())
                return "--tcp needs HOST:PORT";
            outputs.TcpClientTarget = value;
            outputs.TcpClient = true;
        } else if (arg == "--tag-blocks") {
            if (!takeValue() || value.empty())
                return "--tag-blocks needs a station name";
            outputs.StationName = value;
            outputs.TagBlocks = true;
        } else if (arg == "--http") {
            if (!takeValue() || value.empty())
                return "--http needs a port or ADDRESS:PORT";
            if (const std::string why = WebAddressProblem(value); !why.empty())
                return "--http \"" + value + "\": " + why;
            options.Http = true;
            options.HttpAddress = value;
        } else if (arg == "--keep-serving") {
            options.KeepServing = true;
        } else if (arg == "--station") {
            if (!takeValue() || !ParseStation(value, options.StationLat, options.StationLon))
                return "--station \"" + value +
                       "\": give LAT,LON in degrees, north and east positive (such as 60.39,5.32)";
            options.HasStation = true;
        } else if (arg == "--stereo") {
            options.Stereo = true;
        } else if (arg == "--swap-channels") {
            options.SwapChannels = true;
        } else if (arg == "--record") {
            if (!takeValue() || value.empty())
                return "--record needs a file path";
            options.RecordPath = value;
        } else if (arg == "--list-devices") {
            options.ListDevices = true;
        } else if (arg == "--device" || arg == "--rate") {
            if (!takeValue())
                return arg + " needs a number";
            int number = -1;
            try {
                size_t used = 0;
                number = std::stoi(value, &used);
                if (used != value.size())
                    number = -1;
            } catch (const std::exception&) {
                number = -1;
            }
            if (arg == "--device") {
                if (number < 0)
                    return "--device takes a device number from --list-devices, not " + value;
                options.Device = number;
            } else {
                if (number != 44100 && number != 48000)
                    return "--rate takes 44100 or 48000, not " + value;
                options.Rate = number;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (haveFile) {
            return "only one file can be decoded at a time";
        } else {
            options.File = arg;
            haveFile = true;
        }
    }
    if (options.Help || options.ListDevices)
        return {};
    // A value that cannot work is refused now, before a station runs that
    // feeds nothing.
    if (const auto problems = CheckOutputSettings(outputs); !problems.empty())
        return std::string(OptionOf(problems[0].Output)) + " \"" + problems[0].Value +
               "\": " + problems[0].Why;
    if (options.KeepServing && !options.Http)
        return "--keep-serving is for the web view (--http)";
    if (haveFile && options.Device >= 0)
        return "give a file or a device, not both";
    if (!haveFile && options.Device < 0)
        return "no file given";
    if (options.Device < 0 && (options.Stereo || !options.RecordPath.empty()))
        return options.Stereo ? "--stereo is for live input: a file's own channels decide"
                              : "--record is for live input (--device)";
    return {};
}

}  // namespace kelvane
