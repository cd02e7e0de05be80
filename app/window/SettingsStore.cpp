#include "window/SettingsStore.h"

#include "core/TextFields.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace kelvane {

void CheckSettingNames(const std::string& appName, const std::string& section,
                       const std::string& valueName)
{
    if (TrimSpaces(appName).empty())
        throw SettingsError(SettingsError::Base + 1000, "AppName may not be empty");
    if (TrimSpaces(section).empty())
        throw SettingsError(SettingsError::Base + 1001, "Section may not be empty");
    if (TrimSpaces(valueName).empty())
        throw SettingsError(SettingsError::Base + 1002, "Key may not be empty");
}

int32_t LeadingNumber(const std::string& text)
{
    // Leading blanks are skipped, then the longest prefix that reads as a
    // decimal number is taken.
    size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    size_t end = start;
    if (end < text.size() && (text[end] == '+' || text[end] == '-'))
        ++end;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) != 0)
        ++end;
    if (end < text.size() && text[end] == '.') {
        ++end;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) != 0)
            ++end;
    }
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        size_t exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-'))
            ++exponent;
        if (exponent < text.size() && std::isdigit(static_cast<unsigned char>(text[exponent])) != 0) {
            end = exponent;
            while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])) != 0)
                ++end;
        }
    }
    const char* first = text.data() + start;
    if (first != text.data() + end && *first == '+')
        ++first;
    double value = 0;
    if (std::from_chars(first, text.data() + end, value).ec != std::errc())
        return 0;
    const double rounded = std::nearbyint(value);
    return static_cast<int32_t>(std::clamp(rounded, static_cast<double>(std::numeric_limits<int32_t>::min()),
                                           static_cast<double>(std::numeric_limits<int32_t>::max())));
}

bool ParseFlag(const std::string& text, bool& flag)
{
    std::string lower = TrimSpaces(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "true" || lower == "false") {
        flag = lower == "true";
        return true;
    }
    double value = 0;
    const char* first = lower.data();
    if (!lower.empty() && (lower[0] == '+'))
        ++first;
    const auto [stop, error] = std::from_chars(first, lower.data() + lower.size(), value);
    if (error != std::errc() || stop != lower.data() + lower.size())
        return false;
    flag = value != 0;
    return true;
}

}  // namespace kelvane
