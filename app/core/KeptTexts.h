// Texts the program has always shown, kept word for word although some read
// like slips ("occured", "Comm DCB", a menu this program does not have, a
// title that is not its name): users search for them, and their notes and
// scripts quote them.
#pragma once

namespace kelvane::kept {

// Serial port: the port could not be opened (after "Com Port " and its name).
inline constexpr const char* PortNotAvailable =
    " not available. Use Serial settings (on the main menu) to setup your ports.";
// Serial port: the settings text could not be read, or the port refused it.
inline constexpr const char* BuildCommDcb = "Unable to build Comm DCB ";
inline constexpr const char* SetCommDcb = "Unable to set Comm DCB ";
// Sound card: every message of a device that would not open starts so.
inline constexpr const char* AudioOpenFailed = "An error occured while attempting to open audio device.  ";
// Sound card: the title of the message for an unexplained open failure.
inline constexpr const char* AudioFailureTitle = "Pelmark";

}  // namespace kelvane::kept
