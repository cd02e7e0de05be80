// The settings store on Linux: an INI file per user,
// <folder>/<application>.ini, by default in $XDG_CONFIG_HOME (~/.config).
#pragma once

#include "window/SettingsStore.h"

#include <string>

namespace kelvane {

class IniSettingsStore : public SettingsStore {
public:
    // folder: where the INI files live; empty for the user's configuration
    // folder, looked up at every use.
    explicit IniSettingsStore(std::string folder = {}) : Folder(std::move(folder)) {}

    void WriteRegSetting(const std::string& appName, const std::string& section,
                         const std::string& valueName, const std::string& text) override;
    std::string ReadRegSetting(const std::string& appName, const std::string& section,
                               const std::string& valueName, const std::string& defaultText) override;

private:
    std::string Folder;
};

}  // namespace kelvane
