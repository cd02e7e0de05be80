// The settings store on Windows: string values in the registry, per user
// under HKEY_CURRENT_USER\SOFTWARE\<application>\<section>. A value not
// found there is read from the machine-wide key, where older installations
// kept their settings; writes go to the user's key only, which every user
// may write.
#pragma once

#include "window/SettingsStore.h"

namespace kelvane {

class RegistrySettingsStore : public SettingsStore {
public:
    void WriteRegSetting(const std::string& appName, const std::string& section,
                         const std::string& valueName, const std::string& text) override;
    std::string ReadRegSetting(const std::string& appName, const std::string& section,
                               const std::string& valueName, const std::string& defaultText) override;
};

}  // namespace kelvane
