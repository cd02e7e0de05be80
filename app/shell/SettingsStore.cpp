#include "shell/SettingsStore.h"

#include "core/TextFields.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <memory>

namespace kelvane {

namespace {

void CheckNames(const std::string& appName, const std::string& section,
                const std::string& valueName)
{
    if (TrimSpaces(appName).empty())
        throw SettingsError(SettingsError::Base + 1000, "AppName may not be empty");
    if (TrimSpaces(section).empty())
        throw SettingsError(SettingsError::Base + 1001, "Section may not be empty");
    if (TrimSpaces(valueName).empty())
        throw SettingsError(SettingsError::Base + 1002, "Key may not be empty");
}

// The system's code for a store that cannot be used: access denied, or a
// file that cannot be read as settings.
int32_t StatusCode(QSettings::Status status)
{
    return status == QSettings::AccessError ? 5 : 13;
}

// An INI file per user.
std::unique_ptr<QSettings> OpenStore(const std::string& folder, const std::string& appName)
{
    const QString name = QString::fromStdString(TrimSpaces(appName));
    const QString base = folder.empty()
                             ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                             : QString::fromStdString(folder);
    return std::make_unique<QSettings>(base + "/" + name + ".ini", QSettings::IniFormat);
}

// The stored name that matches valueName without regard to case, if any.
QString FindKey(const QSettings& store, const QString& valueName)
{
    const QStringList keys = store.childKeys();
    const auto found = std::find_if(keys.begin(), keys.end(), [&](const QString& key) {
        return key.compare(valueName, Qt::CaseInsensitive) == 0;
    });
    return found == keys.end() ? QString() : *found;
}

}  // namespace

void SettingsStore::WriteRegSetting(const std::string& appName, const std::string& section,
                                    const std::string& valueName, const std::string& text)
{
    CheckNames(appName, section, valueName);
    const std::unique_ptr<QSettings> opened = OpenStore(Folder, appName);
    QSettings& store = *opened;
    store.beginGroup(QString::fromStdString(TrimSpaces(section)));
    // A name stored in another case is the same value: overwrite it.
    const QString name = QString::fromStdString(valueName);
    const QString existing = FindKey(store, name);
    store.setValue(existing.isEmpty() ? name : existing, QString::fromStdString(text));
    store.endGroup();
    store.sync();
    if (store.status() != QSettings::NoError)
        throw SettingsError(SettingsError::Base + 2000 + StatusCode(store.status()),
                            store.status() == QSettings::AccessError
                                ? "Could not open/create registry section"
                                : "Could not set key value");
}

std::string SettingsStore::ReadRegSetting(const std::string& appName, const std::string& section,
                                          const std::string& valueName,
                                          const std::string& defaultText)
{
    CheckNames(appName, section, valueName);
    const std::unique_ptr<QSettings> opened = OpenStore(Folder, appName);
    QSettings& store = *opened;
    // A store that cannot be read (no permission, not a file, not
    // settings) is an error, not an empty store.
    if (store.status() != QSettings::NoError)
        throw SettingsError(SettingsError::Base + 2000 + StatusCode(store.status()),
                            "Could not open registry section");
    store.beginGroup(QString::fromStdString(TrimSpaces(section)));
    const QString key = FindKey(store, QString::fromStdString(valueName));
    if (key.isEmpty())
        return defaultText;
    const QVariant value = store.value(key);
    // An INI value that reads as a list (an unquoted comma) is not a string.
    if (value.typeId() != QMetaType::QString)
        throw SettingsError(SettingsError::Base + 2000 + value.typeId(),
                            "Registry data not a string");
    return value.toString().toStdString();
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
