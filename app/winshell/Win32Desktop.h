// What the Windows desktop gives the window: message boxes, the common file
// dialogs, the keyboard, the user's folders and the process's priority.
#pragma once

#include "core/MessageBoxes.h"
#include "window/Desktop.h"

#include <windows.h>

#include <string>

namespace kelvane {

class Win32MessageBoxes : public MessageBoxes {
public:
    void Show(const std::string& text, MessageIcon icon, const std::string& title) override;
    HWND Owner = nullptr;
};

// "Select Wav File": an existing .wav file, opening on folder.
std::string ChooseWavFile(HWND owner, const std::string& folder);
// "Select Logfile": any file name, ".log" added when none is typed.
std::string ChooseLogFile(HWND owner, const std::string& current);

// The dialogs, Ctrl read from the keyboard's state, the tray (always there),
// the program's folder, the user's local application data, and a high
// priority class.
DesktopServices Win32DesktopServices(const HWND& owner);

}  // namespace kelvane
