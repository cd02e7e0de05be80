#include "window/WindowLayout.h"

#include <array>

namespace kelvane {

namespace {

using K = ControlKind;
using C = Control;

// Frames: 0 Processing Options, 1 Demodulator Counts, 2 Message IDs, 3 Audio
// Input Options, 4 Level, 5 Output Options.
const std::array Layout{
    LaidOut{K::Frame, {}, "Processing Options", -1, {120, 240, 2415, 2145}},
    LaidOut{K::Button, C::cmdStartMonitoring, "Start Monitoring", 0, {240, 300, 1935, 435}},
    LaidOut{K::Button, C::cmdReplay, "Replay File", 0, {240, 810, 1935, 435}},
    LaidOut{K::CheckBox, C::cbHighSensitivity, "High sensitivity", 0, {240, 1290, 1935, 300}},
    LaidOut{K::Button, C::cmdVessels, "Vessels", 0, {240, 1650, 1935, 390}},

    LaidOut{K::Frame, {}, "Demodulator Counts", -1, {2640, 240, 2415, 2145}},
    // PreSyncs come from the built-in demodulator only: hidden.
    LaidOut{K::Label, C::lblPreSyncsCaption, "PreSyncs:", 1, {120, 240, 900, 240}, true},
    LaidOut{K::Label, C::lblPreSyncs, "", 1, {1080, 240, 720, 240}, true},
    LaidOut{K::Label, {}, "Syncs:", 1, {240, 480, 900, 240}},
    LaidOut{K::Label, C::lblSyncs, "", 1, {1080, 480, 720, 240}},
    LaidOut{K::Label, {}, "Valid:", 1, {240, 720, 900, 240}},
    LaidOut{K::Label, C::lblValid, "", 1, {1080, 720, 720, 240}},
    LaidOut{K::Label, {}, "Errors:", 1, {240, 960, 900, 240}},
    LaidOut{K::Label, C::lblErrors, "", 1, {1080, 960, 720, 240}},
    LaidOut{K::Label, {}, "Overruns:", 1, {240, 1200, 900, 240}},
    LaidOut{K::Label, C::lblOverruns, "", 1, {1080, 1200, 720, 240}},
    // Valid frames per channel, with two receivers only.
    LaidOut{K::Label, C::lblValidABCaption, "A / B:", 1, {240, 1440, 900, 240}},
    LaidOut{K::Label, C::lblValidAB, "", 1, {1080, 1440, 1275, 240}},
    LaidOut{K::Label, C::lblVPct, "", 1, {1800, 720, 555, 240}},
    LaidOut{K::Label, C::lblEPct, "", 1, {1800, 960, 555, 240}},

    LaidOut{K::Frame, {}, "Message IDs", -1, {5160, 240, 1695, 2145}},
    LaidOut{K::Label, {}, "1, 2, 3:", 2, {120, 360, 840, 240}},
    LaidOut{K::Label, C::lbl123, "", 2, {960, 360, 660, 240}},
    LaidOut{K::Label, {}, "5:", 2, {120, 600, 840, 240}},
    LaidOut{K::Label, C::lbl5, "", 2, {960, 600, 660, 240}},
    LaidOut{K::Label, {}, "18, 19:", 2, {120, 840, 840, 240}},
    LaidOut{K::Label, C::lbl1819, "", 2, {960, 840, 660, 240}},
    LaidOut{K::Label, {}, "24:", 2, {120, 1080, 840, 240}},
    LaidOut{K::Label, C::lbl21, "", 2, {960, 1080, 660, 240}},
    LaidOut{K::Label, {}, "Other:", 2, {120, 1320, 840, 240}},
    LaidOut{K::Label, C::lblOther, "", 2, {960, 1320, 660, 240}},

    LaidOut{K::Frame, {}, "Audio Input Options", -1, {120, 2490, 5295, 1965}},
    LaidOut{K::Label, {}, "Audio Device:", 3, {120, 330, 1350, 300}},
    LaidOut{K::DropDown, C::SoundDevice, "", 3, {1440, 270, 3735, 330}},
    LaidOut{K::Label, {}, "Sampling Rate:", 3, {120, 750, 1350, 300}},
    LaidOut{K::OptionButton, C::opt44100, "44100", 3, {1440, 720, 1080, 330}},
    LaidOut{K::OptionButton, C::opt48000, "48000", 3, {2520, 720, 1080, 330}},
    // The library serves at every start.
    LaidOut{K::CheckBox, C::cbUseDLL, "Use DLL", 3, {3720, 720, 1200, 330}, true},
    LaidOut{K::Label, {}, "Receivers:", 3, {120, 1140, 1350, 300}},
    LaidOut{K::DropDown, C::cbReceivers, "", 3, {1440, 1080, 3735, 330}},
    // Beside the rates, where the hidden Use DLL box sits.
    LaidOut{K::CheckBox, C::cbSwapAB, "Swap A/B", 3, {3720, 720, 1455, 330}},
    LaidOut{K::CheckBox, C::cbStartMinMon, "Monitor audio input and minimize to system tray at startup", 3,
            {120, 1500, 5160, 330}},

    LaidOut{K::Frame, {}, "Level", -1, {5520, 2490, 1335, 1965}},
    LaidOut{K::LevelBar, {}, "", 4, {540, 240, 255, 1605}},

    LaidOut{K::Frame, {}, "Output Options", -1, {120, 4560, 6735, 3735}},
    LaidOut{K::CheckBox, C::cbSerial, "Serial Output", 5, {120, 300, 1680, 330}},
    LaidOut{K::Label, {}, "Port:", 5, {1860, 330, 540, 300}},
    LaidOut{K::DropDown, C::cbPort, "", 5, {2400, 270, 1800, 330}},
    LaidOut{K::Label, {}, "Baudrate:", 5, {4320, 330, 1020, 300}},
    LaidOut{K::DropDown, C::cbBaud, "", 5, {5340, 270, 1275, 330}},
    LaidOut{K::CheckBox, C::cbLogfile, "Logfile Output", 5, {120, 780, 1680, 330}},
    LaidOut{K::Label, {}, "Name:", 5, {1860, 810, 600, 300}},
    LaidOut{K::TextBox, C::txtPath, "", 5, {2460, 750, 3720, 330}},
    LaidOut{K::Button, C::cmdBrowse, "...", 5, {6240, 750, 375, 330}},
    LaidOut{K::CheckBox, C::cbPush, "UDP Output", 5, {120, 1260, 1680, 330}},
    LaidOut{K::Label, {}, "IP:Port:", 5, {1860, 1290, 780, 300}},
    LaidOut{K::TextBox, C::txtIPPort, "", 5, {2640, 1230, 3975, 330}},
    LaidOut{K::CheckBox, C::cbTcpServer, "TCP Output", 5, {120, 1740, 1680, 330}},
    LaidOut{K::Label, {}, "[Address:]Port:", 5, {1860, 1770, 1500, 300}},
    LaidOut{K::TextBox, C::txtTcpServer, "", 5, {3360, 1710, 1800, 330}},
    LaidOut{K::Label, C::lblTcpClients, "", 5, {5280, 1770, 1335, 300}},
    LaidOut{K::CheckBox, C::cbTcpClient, "Push to", 5, {120, 2220, 1680, 330}},
    LaidOut{K::Label, {}, "Host:Port:", 5, {1860, 2250, 1000, 300}},
    LaidOut{K::TextBox, C::txtTcpClient, "", 5, {2860, 2190, 2300, 330}},
    LaidOut{K::Label, C::lblTcpClientState, "", 5, {5280, 2250, 1335, 300}},
    LaidOut{K::CheckBox, C::cbTagBlocks, "Tag blocks, station name:", 5, {120, 2700, 3120, 330}},
    LaidOut{K::TextBox, C::txtStationName, "", 5, {3360, 2670, 1800, 330}},
    LaidOut{K::CheckBox, C::cbHttp, "Web view, port:", 5, {120, 3180, 3120, 330}},
    LaidOut{K::TextBox, C::txtHttpPort, "", 5, {3360, 3150, 1800, 330}},
    LaidOut{K::Label, C::lblHttp, "", 5, {5280, 3210, 1335, 300}},
};

}  // namespace

std::span<const LaidOut> MainWindowLayout() { return Layout; }

TwipRect PixelPlace(const LaidOut& item)
{
    // Each measure turned into pixels by itself, the frame's and the
    // control's apart, as a toolkit that nests controls in frames does.
    int left = item.Place.Left / 15;
    int top = item.Place.Top / 15;
    if (item.Frame >= 0) {
        int frame = -1;
        for (const LaidOut& candidate : Layout) {
            if (candidate.Kind == ControlKind::Frame && ++frame == item.Frame) {
                left += candidate.Place.Left / 15;
                top += candidate.Place.Top / 15;
                break;
            }
        }
    }
    return {left, top, item.Place.Width / 15, item.Place.Height / 15};
}

std::vector<std::string> ReceiverChoices() { return {"One (mono)", "Two (stereo: left A, right B)"}; }

}  // namespace kelvane
