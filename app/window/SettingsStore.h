// The settings store: named string values under an application name and a
// section, per user (an INI file on Linux, the registry on Windows). Value
// names match without regard to case.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kelvane {

// The store's numbered errors: a base of 0x80040000 (as a signed 32-bit
// number) plus 1000 to 1002 for empty names, 2000 plus the system's code for
// a store that cannot be opened, written or read.
class SettingsError : public std::runtime_error {
public:
    static constexpr int32_t Base = -2147221504;
    SettingsError(int32_t number, const std::string& description)
        : std::runtime_error(description), Number(number)
    {
    }
    int32_t Number;
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Throws SettingsError.
    virtual void WriteRegSetting(const std::string& appName, const std::string& section,
                                 const std::string& valueName, const std::string& text) = 0;
    // The stored text, or defaultText when the store or the value does not
    // exist. Throws SettingsError.
    virtual std::string ReadRegSetting(const std::string& appName, const std::string& section,
                                       const std::string& valueName, const std::string& defaultText) = 0;
};

// Throws the numbered error for an empty application, section or value name.
void CheckSettingNames(const std::string& appName, const std::string& section,
                       const std::string& valueName);

// A stored number: the number at the start of the text (sign, digits,
// decimal point, exponent), rounded to an integer, halves to even; 0 when
// the text does not start with one.
int32_t LeadingNumber(const std::string& text);

// A stored flag: "True" or "False" in any case, or a number (0 is false).
// False when the text is neither; the flag then keeps its value.
bool ParseFlag(const std::string& text, bool& flag);

}  // namespace kelvane
