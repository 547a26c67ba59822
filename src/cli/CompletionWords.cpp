// SPDX-License-Identifier: GPL-3.0-or-later
// plenar --complete WORD... : the words the shell may offer next, one a line, each followed by
// a tab and what it means where there is something to say. They come from the declared options
// (OptionTable.h) and the keys' rows, so that completion follows the program. Special answers:
// "@file", "@dir" and "@ini" ask the shell for names.

#include <glob.h>

#include <cstdio>
#include <set>

#include "cli/CliCommands.h"
#include "cli/OptionTable.h"
#include "profile/KeyDocs.h"

namespace plenar::cli {
namespace {

// The options every command takes, with their values where they take one (empty: free text).
struct CommonOption {
  const char* name;
  const char* values;  // nullptr: a flag
  const char* help;
};
const CommonOption kCommon[] = {
    {"--serial", "@serial", "serial port"},
    {"--device-baud", "@rate", "the printer's stored rate"},
    {"--transfer-baud", "@rate", "the rate used during a command"},
    {"--net", "", "network link, ADDR[:PORT]"},
    {"--usb", "", "USB printer"},
    {"--lpt", "", "parallel port N"},
    {"--dir", "@dir", "the folder of sysconfig.ini and the state"},
    {"--lang", "zh en", "language of the texts"},
    {"--json", nullptr, "one JSON document on stdout"},
    {"--pretty", nullptr, "the JSON document, indented"},
    {"--events", nullptr, "stderr in JSON lines"},
    {"--paths", nullptr, "where each file is kept"},
    {"--version", nullptr, "the version"},
    {"--help", nullptr, "the help"},
};

void offer(const std::string& word, const std::string& meaning = {}) {
  if (meaning.empty() || meaning == word) {
    std::printf("%s\n", word.c_str());
  } else {
    std::printf("%s\t%s\n", word.c_str(), meaning.c_str());
  }
}

void offerSerialPorts() {
  for (const char* pattern :
       {"/dev/ttyS[0-9]*", "/dev/ttyUSB[0-9]*", "/dev/ttyACM[0-9]*", "/dev/rfcomm[0-9]*"}) {
    glob_t g{};
    if (::glob(pattern, 0, nullptr, &g) == 0) {
      for (std::size_t i = 0; i < g.gl_pathc; ++i) offer(g.gl_pathv[i]);
    }
    ::globfree(&g);
  }
}

// A row's words, each with the item it names.
void offerRowWords(const KeyValues& row, const std::string& prefix) {
  OptionDecl d;
  d.kind = ValueKind::Choice;
  d.key = row.key;
  const std::vector<ChoiceItem> items = choiceItems(row);
  for (const std::string& word : offeredWords(d)) {
    std::string meaning;
    for (const ChoiceItem& item : items) {
      const bool names =
          std::find(item.plain.begin(), item.plain.end(), word) != item.plain.end() ||
          std::to_string(item.index) == word;
      if (names && !item.english.empty()) meaning = item.english;
    }
    offer(prefix + word, meaning);
  }
}

// KEY=VALUE: the keys, then the values of the key before '='.
void offerKeyValue(const std::string& current) {
  const std::size_t equals = current.find('=');
  if (equals != std::string::npos) {
    const std::string key = current.substr(0, equals);
    const KeyValues* row = keyValuesOf(key);
    if (row && (row->form == ValueForm::Choice || row->form == ValueForm::Flag)) {
      offerRowWords(*row, key + "=");
    }
    return;
  }
  for (const KeyDoc& d : profileKeyDocs()) {
    if (d.ignored.empty()) offer(d.key + "=", d.accepts);
  }
}

void offerValues(const OptionDecl& d, const std::string& current) {
  switch (d.complete) {
    case Completion::File:
      return offer("@file");
    case Completion::Ini:
      return offer("@ini");
    case Completion::Dir:
      return offer("@dir");
    case Completion::Serial:
      return offerSerialPorts();
    case Completion::ProfileKey:
      return offerKeyValue(current);
    case Completion::None:
      break;
  }
  if (const KeyValues* row = d.row(); row && d.kind == ValueKind::Choice) {
    return offerRowWords(*row, {});
  }
  for (const std::string& w : offeredWords(d)) offer(w);
}

void offerCommonValues(const CommonOption& o) {
  const std::string values = o.values;
  if (values == "@serial") return offerSerialPorts();
  if (values == "@dir") return offer("@dir");
  if (values == "@rate") {
    for (const std::string& rate : keyValuesOf("BaudRate")->items) offer(rate);
    return;
  }
  if (values == "zh en") {
    offer("zh", "中文");
    offer("en", "English");
  }
}

const CommonOption* commonOption(const std::string& word) {
  for (const CommonOption& o : kCommon) {
    if (word == o.name) return &o;
  }
  return nullptr;
}

const OptionDecl* declaredOption(const OptionTable* table, const std::string& word) {
  if (!table) return nullptr;
  for (const OptionDecl& d : *table) {
    if (!d.positional() && d.name == word) return &d;
  }
  return nullptr;
}

// The declaration that the next positional argument fills, counting those before it.
const OptionDecl* nextPositional(const OptionTable& table, std::size_t given) {
  std::size_t first = 0;
  for (const OptionDecl& d : table) {
    if (!d.positional()) continue;
    if (d.count < 0 || given < first + static_cast<std::size_t>(d.count)) return &d;
    first += static_cast<std::size_t>(d.count);
  }
  return nullptr;
}

void offerOptions(const OptionTable* table) {
  std::set<std::string> shown;
  for (const OptionDecl& d : table ? *table : OptionTable{}) {
    if (!d.positional() && shown.insert(d.name).second) offer(d.name, d.help.en);
  }
  for (const CommonOption& o : kCommon) {
    if (shown.insert(o.name).second) offer(o.name, o.help);
  }
}

}  // namespace

int completeWords(const std::vector<std::string>& words) {
  if (words.empty()) return kExitUsage;
  const std::string& current = words.back();
  // The command: the first word that is neither an option nor an option's value.
  const CliCommand* command = nullptr;
  std::size_t i = 0;
  for (; i + 1 < words.size(); ++i) {
    if (const CommonOption* o = commonOption(words[i])) {
      if (o->values) ++i;
      continue;
    }
    if (words[i].rfind("-", 0) == 0) continue;
    for (const auto& c : cliCommands()) {
      if (c.name == words[i]) command = &c;
    }
    break;
  }
  const OptionTable* table = command ? optionTableOf(command->name) : nullptr;
  // The words after the command: which option takes the current word, or which argument it is.
  std::size_t positionals = 0;
  const OptionDecl* takes = nullptr;
  const CommonOption* commonTakes = nullptr;
  for (std::size_t j = command ? i + 1 : 0; j + 1 < words.size(); ++j) {
    const CommonOption* common = commonOption(words[j]);
    const OptionDecl* own = declaredOption(table, words[j]);
    const int values = own                        ? (own->kind == ValueKind::Flag   ? 0
                                                     : own->kind == ValueKind::Pair ? 2
                                                                                    : 1)
                       : common && common->values ? 1
                                                  : 0;
    if (j + values + 1 >= words.size() && values > 0) {
      takes = own;
      commonTakes = own ? nullptr : common;
      break;
    }
    if (own || common) {
      j += static_cast<std::size_t>(values);
    } else if (command && words[j].rfind("-", 0) != 0) {
      ++positionals;
    }
  }
  if (commonTakes) return offerCommonValues(*commonTakes), kExitDone;
  if (takes) return offerValues(*takes, current), kExitDone;
  if (current.rfind("-", 0) == 0) return offerOptions(table), kExitDone;
  if (!command) {
    for (const auto& c : cliCommands()) offer(c.name, c.summary.en);
    offer("help", "the help of a command");
    return kExitDone;
  }
  if (table) {
    if (const OptionDecl* d = nextPositional(*table, positionals)) offerValues(*d, current);
  }
  return kExitDone;
}

}  // namespace plenar::cli
