// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Language.h"

#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "profile/ProfileGroups.h"
#include "shared/SharedTexts.h"

namespace plenar {

std::string languageFileName(int index) {
  return index == 1 ? "English.lng" : "Chinese.lng";
}

void applyLanguageTexts(const IniDocument& doc) {
  for (const auto& list : optionListDefs()) {
    for (int i = 0; i < list.size; ++i) {
      if (auto v = doc.find(list.section, std::to_string(i))) setOptionEntry(list.id, i, *v);
    }
  }
  for (const auto& t : textDefs()) {
    if (!t.hasKey) continue;
    if (auto v = doc.find("String", t.name)) setText(t.id, *v);
  }
}

void applyLanguageTexts(const std::string& programDir, int index) {
  applyLanguageTexts(IniFile(pathIn(programDir, languageFileName(index))).load());
}

ProfileVocabulary profileVocabulary(const ProgramPaths& paths) {
  ProfileVocabulary v;
  const ProgramPaths shipped = programPaths();
  for (int index : {0, 1}) {
    const std::string name = languageFileName(index);
    v.languages.push_back(IniFile(pathIn(paths.languageFolder(name), name)).load());
    v.languages.push_back(IniFile(pathIn(shipped.languageFolder(name), name)).load());
  }
  return v;
}

}  // namespace plenar
