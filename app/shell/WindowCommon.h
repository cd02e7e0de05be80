// What the Qt files of the windows share.
#pragma once

#include <QString>

#include <string>

namespace kelvane::shell {

inline QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace kelvane::shell
