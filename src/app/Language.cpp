// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Language.h"

#include <map>
#include <string_view>

#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "profile/ProfileGroups.h"
#include "shared/SharedTexts.h"

namespace plenar {

int localeLanguage(const char* (*getenv)(const char*)) {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = getenv(name);
    if (value && *value) return std::string_view(value).starts_with("zh") ? 0 : 1;
  }
  return 1;
}

std::string languageFileName(int index) {
  return index == 1 ? "English.lng" : "Chinese.lng";
}

namespace {

std::string lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// Every section's keys and values, read in one pass the way IniDocument::find reads them: the
// first section of a name, the first line of a key, names compared without ASCII case. A
// lookup per text scanned the whole file each time, a few hundred times per file.
using SectionKeys = std::map<std::string, std::map<std::string, std::string>>;

SectionKeys sectionKeys(const IniDocument& doc) {
  SectionKeys out;
  std::map<std::string, std::string>* current = nullptr;
  for (IniDocument::Entry& e : doc.entries()) {
    if (e.isSection) {
      auto [it, fresh] = out.try_emplace(lower(e.section));
      current = fresh ? &it->second : nullptr;
    } else if (current && e.wellFormed) {
      current->try_emplace(lower(e.key), std::move(e.value));
    }
  }
  return out;
}

const std::map<std::string, std::string>* sectionOf(const SectionKeys& keys,
                                                    const std::string& section) {
  auto s = keys.find(lower(section));
  return s == keys.end() ? nullptr : &s->second;
}

const std::string* valueOf(const std::map<std::string, std::string>* section,
                           const std::string& key) {
  if (!section) return nullptr;
  auto k = section->find(key);
  return k == section->end() ? nullptr : &k->second;
}

}  // namespace

void applyLanguageTexts(const IniDocument& doc) {
  const SectionKeys keys = sectionKeys(doc);
  for (const auto& list : optionListDefs()) {
    const auto* section = sectionOf(keys, list.section);
    for (int i = 0; section && i < list.size; ++i) {
      if (auto* v = valueOf(section, std::to_string(i))) setOptionEntry(list.id, i, *v);
    }
  }
  const auto* strings = sectionOf(keys, "String");
  for (const auto& t : textDefs()) {
    if (!t.hasKey) continue;
    if (auto* v = valueOf(strings, lower(t.name))) setText(t.id, *v);
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
