// Kelvane.exe: the AIS receiver's window on Windows.
#include "audio/Capture.h"
#include "winshell/RegistrySettingsStore.h"
#include "winshell/Win32Desktop.h"
#include "winshell/Win32MainWindow.h"
#include "audio/SystemWaveIn.h"

#include <windows.h>
#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES |
                                                        ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);

    kelvane::Win32MessageBoxes messages;
    // The sound card: the ring of buffers on wave-in.
    kelvane::SystemWaveIn waveIn;
    kelvane::Capture capture(waveIn, messages);
    kelvane::RegistrySettingsStore store;
    HWND owner = nullptr;
    kelvane::Win32MainWindow window(instance, messages, capture, store, kelvane::Win32DesktopServices(owner));
    owner = window.Handle();
    messages.Owner = owner;
    window.Logic->Form_Load();
    return window.Run();
}
