// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <string>

#include "platform/IniFile.h"

namespace plenar::man {

// The hand-written sections of a page by name ("FILES"), in roff, from a file of
// "[NAME]" lines each followed by its text.
using Sections = std::map<std::string, std::string>;
Sections readSections(const std::string& path);

// plenar(1): the shared options and every command from the command table, then the
// hand-written sections.
std::string plenarPage(const std::string& version, const Sections& sections);

// plenar-profile(5): every key with its group, stage, default and accepted values (list texts in
// both languages: Chinese built in, English from `english`).
std::string profilePage(const std::string& version, const IniDocument& english);

}  // namespace plenar::man
