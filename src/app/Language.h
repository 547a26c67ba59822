// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace plenar {

class IniDocument;
struct ProgramPaths;
struct ProfileVocabulary;

// The language the locale asks for: the first of LC_ALL, LC_MESSAGES and LANG that is set and not
// empty; "zh..." is Chinese (0), anything else English (1), and no locale at all English.
// `getenv` is the environment to read (std::getenv in the program).
int localeLanguage(const char* (*getenv)(const char*));

// "English.lng" for index 1, "Chinese.lng" for any other index.
std::string languageFileName(int index);
// Replaces the option-name lists and the keyed shared texts from a language document; every key
// the document lacks keeps the current text. The windows apply their own sections themselves.
void applyLanguageTexts(const IniDocument& doc);
// Loads the language file of `index` from `programDir` and applies its texts; a missing file
// changes nothing.
void applyLanguageTexts(const std::string& programDir, int index);
// The list texts of both language files, so that a profile saved under either language reads:
// those in use (--dir may hold its own) and those shipped with the program.
ProfileVocabulary profileVocabulary(const ProgramPaths& paths);

}  // namespace plenar
