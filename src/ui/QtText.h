// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>

namespace plenar {

// A text of the core (UTF-8) as the windows show it.
inline QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

}  // namespace plenar
