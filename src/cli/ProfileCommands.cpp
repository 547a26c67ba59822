// SPDX-License-Identifier: GPL-3.0-or-later
// plenar profile keys: the keys a profile may hold and the values each accepts, from the tables
// the window and apply read.

#include <cstdio>

#include "app/Language.h"
#include "cli/CliCommands.h"
#include "cli/CliTexts.h"
#include "cli/RunReport.h"
#include "platform/ProgramPaths.h"
#include "profile/KeyDocs.h"
#include "profile/ParaKeys.h"

namespace plenar::cli {
namespace {

constexpr std::size_t kWidth = 80;

// `text` folded at blanks into lines of at most kWidth columns, each after `indent` blanks.
void printFolded(const std::string& text, std::size_t indent) {
  std::string line;
  std::size_t from = 0;
  auto flush = [&] {
    if (!line.empty()) std::printf("%s%s\n", std::string(indent, ' ').c_str(), line.c_str());
    line.clear();
  };
  while (from <= text.size()) {
    std::size_t blank = text.find(' ', from);
    if (blank == std::string::npos) blank = text.size();
    const std::string word = text.substr(from, blank - from);
    from = blank + 1;
    if (!line.empty() && indent + line.size() + 1 + word.size() > kWidth) flush();
    line += (line.empty() ? "" : " ") + word;
  }
  flush();
}

Json valuesJson(const KeyDoc& d, const IniDocument& english) {
  Json items = Json::array();
  for (const ChoiceItem& item : choiceItems(*d.values, &english)) {
    Json j = {{"index", item.index}, {"plain", item.plain}};
    if (d.values->form == ValueForm::Choice) {
      j["zh"] = item.chinese;
      j["en"] = item.english;
    }
    items.push_back(std::move(j));
  }
  return items;
}

// "soft, software, 0: Software (XON/XOFF) / 软件流控"
std::string itemText(const ChoiceItem& item, bool indexAllowed) {
  std::string out;
  for (const std::string& word : item.plain) out += word + ", ";
  if (indexAllowed) out += std::to_string(item.index) + ", ";
  out.resize(out.size() - 2);
  out += ": " + item.english;
  if (item.chinese != item.english) out += " / " + item.chinese;
  return out;
}

int profileKeys(const CommonOptions& o, ArgList& args) {
  const auto p = args.expect(1, "profile keys");
  if (p[0] != "keys")
    throw UsageError(say("usage: plenar profile keys", "用法：plenar profile keys"));
  const std::string englishName = languageFileName(1);
  const IniDocument english =
      IniFile(pathIn(o.paths.languageFolder(englishName), englishName)).load();
  const std::vector<KeyDoc> docs = profileKeyDocs();
  Json keys = Json::array();
  for (const KeyDoc& d : docs) {
    Json j = {{"section", d.section}, {"key", d.key}, {"default", d.defaultValue}};
    if (!d.control.empty()) j["control"] = d.control;
    if (!d.sameAs.empty()) j["same_as"] = d.sameAs;
    if (!d.aliases.empty()) j["aliases"] = d.aliases;
    if (d.group) {
      j["group"] = d.group->name;
      j["command"] = d.group->command;
    }
    if (d.ignored.empty()) {
      j["stage"] = stageName(d.stage);
      j["accepts"] = d.accepts;
    } else {
      j["ignored"] = d.ignored;
    }
    if (d.values && (d.values->form == ValueForm::Choice || d.values->form == ValueForm::Flag)) {
      j["values"] = valuesJson(d, english);
    }
    if (d.values && d.values->form == ValueForm::Number) {
      j["range"] = {d.values->min, d.values->max};
    }
    keys.push_back(std::move(j));
  }
  if (!o.json) {
    std::printf("%-20s %-19s %-8s %s\n", "KEY", "GROUP", "STAGE", "DEFAULT");
    for (const KeyDoc& d : docs) {
      const std::string name = d.section == kParaSection ? d.key : "[Files] " + d.key;
      std::printf("%-20s %-19s %-8s %s\n", name.c_str(), d.group ? d.group->name : "-",
                  d.ignored.empty() ? stageName(d.stage) : "-", d.defaultValue.c_str());
      if (!d.ignored.empty()) {
        printFolded("ignored: " + d.ignored, 4);
        continue;
      }
      if (!d.sameAs.empty()) printFolded("the same key as " + d.sameAs, 4);
      for (const std::string& alias : d.aliases) printFolded("also as " + alias, 4);
      printFolded("accepts: " + d.accepts, 4);
      if (d.values && d.values->form == ValueForm::Choice && d.values->list != OptionList::Count) {
        for (const ChoiceItem& item : choiceItems(*d.values, &english)) {
          printFolded(itemText(item, d.values->indexAllowed), 6);
        }
      }
    }
  }
  o.report->result() = {{"keys", std::move(keys)}};
  return kExitDone;
}

}  // namespace

void addProfileCommands(std::vector<CliCommand>& out) {
  out.push_back({"profile",
                 "profile keys",
                 {"list the keys a profile may hold: their group, stage, default and the values "
                  "each accepts",
                  "列出配置文件可含的键：所属组、阶段、默认值和可接受的值"},
                 false,
                 profileKeys});
}

}  // namespace plenar::cli
