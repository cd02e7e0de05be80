#include "shell/IniSettingsStore.h"

#include "core/TextFields.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <memory>

namespace kelvane {

namespace {

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

void IniSettingsStore::WriteRegSetting(const std::string& appName, const std::string& section,
                                    const std::string& valueName, const std::string& text)
{
    CheckSettingNames(appName, section, valueName);
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

std::string IniSettingsStore::ReadRegSetting(const std::string& appName, const std::string& section,
                                          const std::string& valueName,
                                          const std::string& defaultText)
{
    CheckSettingNames(appName, section, valueName);
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

}  // namespace kelvane
