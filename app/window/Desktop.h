// What the window's logic asks of the desktop beyond its own controls: the
// file dialogs, the keyboard, the tray, the user's folders, the process's
// priority, and the vessel window. Tests replace the dialogs and keys.
#pragma once

#include "core/MessageOrigin.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace kelvane {

struct DesktopServices {
    // The file dialogs: the chosen path, or "" when cancelled.
    std::function<std::string(const std::string& folder)> ChooseReplayFile;
    std::function<std::string(const std::string& current)> ChooseLogFile;
    std::function<bool()> CtrlHeld;
    std::function<bool()> TrayAvailable;
    // The program's own folder, and a folder of the user's where the log
    // may be written (an installed program's folder is not writable).
    std::function<std::filesystem::path()> ProgramFolder;
    std::function<std::filesystem::path()> DataFolder;
    // High priority, so that decoding keeps pace; failure is ignored.
    std::function<void()> RaisePriority;
};

// The vessel window, as the main window uses it.
class VesselWindow {
public:
    virtual ~VesselWindow() = default;
    virtual void ShowVessels() = 0;
    // A decoded message: its sender's row is made or brought up to date.
    virtual void Heard(std::span<const int32_t> messageBits, std::string_view sentences,
                       const MessageOrigin& origin) = 0;
    // The station's position as the boxes hold it (degrees, north and east
    // positive; empty for none).
    virtual void SetStation(const std::string& latitude, const std::string& longitude) = 0;
    virtual std::string StationLatitude() const = 0;
    virtual std::string StationLongitude() const = 0;
    // Where the window is: "left,top,width,height" in pixels; a text that is
    // not four numbers with a size leaves it where it is.
    virtual std::string Placement() const = 0;
    virtual void SetPlacement(const std::string& placement) = 0;
};

}  // namespace kelvane
