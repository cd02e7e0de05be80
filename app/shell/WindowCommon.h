// What the files of the main window share.
#pragma once

#include <QCoreApplication>
#include <QString>

#include <filesystem>
#include <string>

namespace kelvane::shell {

inline constexpr const char* AppName = "Kelvane";

inline QString Q(const std::string& text) { return QString::fromStdString(text); }

inline std::filesystem::path ProgramFolder()
{
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
}

}  // namespace kelvane::shell
