#pragma once

#include <string>

namespace plenar {

class IniDocument;

// "English.lng" for index 1, "Chinese.lng" for any other index.
std::string languageFileName(int index);
// Replaces the option-name lists and the keyed shared texts from a language document; every key
// the document lacks keeps the current text. The windows apply their own sections themselves.
void applyLanguageTexts(const IniDocument& doc);
// Loads the language file of `index` from `programDir` and applies its texts; a missing file
// changes nothing.
void applyLanguageTexts(const std::string& programDir, int index);

}  // namespace plenar
