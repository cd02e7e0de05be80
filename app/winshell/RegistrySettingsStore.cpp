#include "winshell/RegistrySettingsStore.h"

#include "core/TextFields.h"

#include <windows.h>

#include <optional>
#include <vector>

namespace kelvane {

namespace {

std::string KeyPath(const std::string& appName, const std::string& section)
{
    return "SOFTWARE\\" + TrimSpaces(appName) + "\\" + TrimSpaces(section);
}

// Closed on every path.
class Key {
public:
    ~Key()
    {
        if (Handle != nullptr)
            RegCloseKey(Handle);
    }
    HKEY Handle = nullptr;
};

[[noreturn]] void Fail(LONG code, const char* description)
{
    throw SettingsError(SettingsError::Base + 2000 + static_cast<int32_t>(code), description);
}

// The value from one root: the text, or nothing when the key or the value
// is not there.
std::optional<std::string> ReadFrom(HKEY root, const std::string& path, const std::string& valueName)
{
    Key key;
    const LONG opened = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key.Handle);
    if (opened == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    if (opened != ERROR_SUCCESS)
        Fail(opened, "Could not open registry section");
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.Handle, valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ)
        Fail(static_cast<LONG>(type), "Registry data not a string");
    if (size == 0)
        return std::string();
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(key.Handle, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS)
        return std::nullopt;
    // Up to the terminating NUL, where the stored text has one.
    return std::string(data.data(), strnlen(data.data(), size));
}

}  // namespace

void RegistrySettingsStore::WriteRegSetting(const std::string& appName, const std::string& section,
                                            const std::string& valueName, const std::string& text)
{
    CheckSettingNames(appName, section, valueName);
    Key key;
    const LONG created = RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath(appName, section).c_str(), 0, nullptr,
                                         REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key.Handle, nullptr);
    if (created != ERROR_SUCCESS)
        Fail(created, "Could not open/create registry section");
    const LONG set = RegSetValueExA(key.Handle, valueName.c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
    if (set != ERROR_SUCCESS)
        Fail(set, "Could not set key value");
}

std::string RegistrySettingsStore::ReadRegSetting(const std::string& appName, const std::string& section,
                                                  const std::string& valueName, const std::string& defaultText)
{
    CheckSettingNames(appName, section, valueName);
    const std::string path = KeyPath(appName, section);
    if (std::optional<std::string> mine = ReadFrom(HKEY_CURRENT_USER, path, valueName))
        return *mine;
    return ReadFrom(HKEY_LOCAL_MACHINE, path, valueName).value_or(defaultText);
}

}  // namespace kelvane
