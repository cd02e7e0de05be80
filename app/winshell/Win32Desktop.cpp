#include "winshell/Win32Desktop.h"

#include "winshell/Win32Text.h"

#include <commdlg.h>
#include <shlobj.h>

#include <vector>

namespace kelvane {

using win::Narrow;
using win::Wide;

void Win32MessageBoxes::Show(const std::string& text, MessageIcon icon, const std::string& title)
{
    const UINT style = MB_OK | (icon == MessageIcon::Critical      ? MB_ICONERROR
                                : icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION
                                                                   : 0);
    MessageBoxW(Owner, Wide(text).c_str(), Wide(title.empty() ? "Kelvane" : title).c_str(), style);
}

namespace {

std::string RunDialog(HWND owner, const wchar_t* title, const wchar_t* filter, const wchar_t* extension,
                      const std::string& folder, const std::string& file, bool open)
{
    std::vector<wchar_t> name(MAX_PATH * 4, L'\0');
    const std::wstring initial = Wide(file);
    initial.copy(name.data(), name.size() - 1);
    const std::wstring where = Wide(folder);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrInitialDir = where.empty() ? nullptr : where.c_str();
    dialog.lpstrTitle = title;
    dialog.lpstrDefExt = extension;
    // The program's working folder stays where it was.
    dialog.Flags = OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | (open ? OFN_FILEMUSTEXIST | OFN_READONLY : 0);
    const BOOL chosen = open ? GetOpenFileNameW(&dialog) : GetSaveFileNameW(&dialog);
    return chosen ? Narrow(name.data()) : std::string();
}

}  // namespace

std::string ChooseWavFile(HWND owner, const std::string& folder)
{
    return RunDialog(owner, L"Select Wav File", L"Wave files (*.wav)\0*.wav\0\0", L"wav", folder, {}, true);
}

std::string ChooseLogFile(HWND owner, const std::string& current)
{
    return RunDialog(owner, L"Select Logfile", L"Log files (*.log)\0*.log\0All files (*.*)\0*.*\0\0", L"log", {},
                     current, false);
}

DesktopServices Win32DesktopServices(const HWND& owner)
{
    DesktopServices desktop;
    desktop.ChooseReplayFile = [&owner](const std::string& folder) { return ChooseWavFile(owner, folder); };
    desktop.ChooseLogFile = [&owner](const std::string& current) { return ChooseLogFile(owner, current); };
    desktop.CtrlHeld = [] { return (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0; };
    desktop.TrayAvailable = [] { return true; };
    desktop.ProgramFolder = [] {
        std::vector<wchar_t> path(32768, L'\0');
        GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        return std::filesystem::path(path.data()).parent_path();
    };
    // Program Files is not writable for an installed program's users: the
    // log goes to their local application data.
    desktop.DataFolder = [] {
        PWSTR folder = nullptr;
        std::filesystem::path data;
        if (SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder) == S_OK)
            data = std::filesystem::path(folder) / "Kelvane";
        CoTaskMemFree(folder);
        return data;
    };
    desktop.RaisePriority = [] { SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS); };
    return desktop;
}

}  // namespace kelvane
