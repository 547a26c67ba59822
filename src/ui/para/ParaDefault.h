// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string_view>

#include "profile/ParaKeys.h"

class QWidget;

namespace plenar {

class IniDocument;

// Section ParaDefault of sysconfig.ini (profile/ParaKeys.h): every field of the parameter window
// that survives between runs. Fields are found by control name below `window`, keys are read and
// written in the table's order (so a new file lists them in that order), and the defaults that
// name a list text come from the language in force.
//
// Lists take the first item matching the stored text without regard to case; where none matches
// some lists select nothing (empty text), the others item 0. Booleans are "1"/"0". `NetIPAddress`
// is written twice (also as `NetIPaddress`, the same key to the case-blind INI rules).
// Threads: GUI thread only.
void loadParaDefault(QWidget* window, const IniDocument& doc);
void saveParaDefault(const QWidget* window, IniDocument& doc);
// Only the fields whose key `include` takes (a profile of some groups).
void saveParaDefault(const QWidget* window, IniDocument& doc,
                     const std::function<bool(std::string_view key)>& include);

}  // namespace plenar
