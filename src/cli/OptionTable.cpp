// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/OptionTable.h"

#include <algorithm>
#include <utility>

#include "cli/AcceptedText.h"
#include "cli/CliArgs.h"
#include "cli/FieldLimits.h"
#include "profile/GroupTable.h"

namespace plenar::cli {
namespace {

using Tables = std::vector<std::pair<std::string, OptionTable>>;

const Tables& tables() {
  static const Tables all = [] {
    Tables t;
    addSettingsOptionTables(t);
    addDeviceOptionTables(t);
    addFileOptionTables(t);
    addProfileOptionTables(t);
    return t;
  }();
  return all;
}

std::string joined(const std::vector<std::string>& words, const char* separator) {
  std::string out;
  for (const auto& w : words) out += (out.empty() ? "" : separator) + w;
  return out;
}

std::string valueTerm(const OptionDecl& d) {
  if (!d.term.empty()) return d.term;
  const std::vector<std::string> words = shownWords(d);
  if (!words.empty() && words.size() <= 6) return joined(words, "|");
  return d.name;
}

// One declaration as the usage shows it, without brackets.
std::string usageWord(const OptionDecl& d) {
  std::string word;
  if (d.positional()) {
    word = valueTerm(d);
    if (d.count == kOneOrMore || d.count == kAnyNumber) word += "...";
    for (int i = 1; i < d.count; ++i) word += " " + valueTerm(d);
  } else {
    word = d.name;
    if (d.kind == ValueKind::Pair) {
      word += " " + d.term;
    } else if (d.kind != ValueKind::Flag) {
      word += " " + valueTerm(d);
    }
  }
  return word;
}

bool optionalInUsage(const OptionDecl& d) {
  return d.positional() ? d.optional || d.count == kAnyNumber : !d.required;
}

// The row's plain words: the first given for each item, in the items' order.
std::vector<std::string> plainWords(const KeyValues& row) {
  const ChoiceKeywords& plain = row.form == ValueForm::Flag ? flagWords() : row.plain;
  int items = 0;
  for (const auto& [word, item] : plain) items = std::max(items, item + 1);
  std::vector<std::string> out;
  for (int i = 0; i < items; ++i) {
    // A flag's words: on and off, the ones the commands have always shown.
    for (const auto& [word, item] : plain) {
      if (item != i || (row.form == ValueForm::Flag && word != "on" && word != "off")) continue;
      out.push_back(word);
      break;
    }
  }
  if (row.form == ValueForm::Flag) std::swap(out[0], out[1]);  // "on|off"
  return out;
}

// A choice's words and texts for a refusal in Chinese, as describeChoices lists them.
std::string listedChoices(const ChoiceList& list) {
  std::vector<std::string> words;
  for (const auto& [word, item] : list.keywords) words.push_back(word);
  if (words.empty() || list.items.size() <= 12) {
    for (const auto& texts : list.items) {
      if (!texts.empty()) words.push_back(texts.front());
    }
  }
  std::string out = joined(words, "、");
  if (list.indexAllowed && !list.items.empty()) {
    out += (out.empty() ? "" : "，或") + std::string("序号 0..") +
           std::to_string(list.items.size() - 1);
  }
  return out;
}

}  // namespace

const OptionTable* optionTableOf(const std::string& command) {
  for (const auto& [name, table] : tables()) {
    if (name == command) return &table;
  }
  return nullptr;
}

std::string usageArguments(const OptionTable& table) {
  std::string out;
  auto add = [&](const std::string& s) { out += (out.empty() ? "" : " ") + s; };
  // Options first, each group of exclusive options as one bracket; then the positionals.
  for (std::size_t i = 0; i < table.size(); ++i) {
    const OptionDecl& d = table[i];
    if (d.positional()) continue;
    if (!d.group.empty() && i > 0 && table[i - 1].group == d.group) continue;
    std::vector<std::string> alternatives{usageWord(d)};
    bool optional = optionalInUsage(d);
    for (std::size_t j = i + 1; !d.group.empty() && j < table.size(); ++j) {
      if (table[j].group != d.group) break;
      alternatives.push_back(usageWord(table[j]));
      optional = optional && optionalInUsage(table[j]);
    }
    const std::string body = joined(alternatives, " | ");
    add(optional ? "[" + body + "]" : alternatives.size() > 1 ? "(" + body + ")" : body);
  }
  for (const OptionDecl& d : table) {
    if (!d.positional()) continue;
    add(optionalInUsage(d) ? "[" + usageWord(d) + "]" : usageWord(d));
  }
  return out;
}

std::vector<std::string> shownWords(const OptionDecl& d) {
  if (d.kind != ValueKind::Choice) return {};
  if (const KeyValues* row = d.row()) {
    std::vector<std::string> words = plainWords(*row);
    if (!words.empty()) return words;
    if (row->list == OptionList::Count) return row->items;
    return {};
  }
  return d.words;
}

std::vector<std::string> offeredWords(const OptionDecl& d) {
  std::vector<std::string> out = d.kind == ValueKind::Choice ? shownWords(d) : d.words;
  if (const KeyValues* row = d.row(); row && d.kind == ValueKind::Choice) {
    for (const auto& [word, item] : row->form == ValueForm::Flag ? flagWords() : row->plain) {
      if (std::find(out.begin(), out.end(), word) == out.end()) out.push_back(word);
    }
    // A list whose texts come from the language files: offered by index.
    if (out.empty()) {
      const auto items = choiceItems(*row);
      for (const ChoiceItem& item : items) out.push_back(std::to_string(item.index));
    }
  }
  return out;
}

std::string termHead(const OptionDecl& d) {
  return usageWord(d);
}

std::string termHelp(const OptionDecl& d) {
  std::string out = say(d.help);
  const std::string separator = say("; ", "；");
  auto add = [&](const std::string& s) {
    if (!s.empty()) out += (out.empty() ? "" : separator) + s;
  };
  if (const KeyValues* row = d.row()) {
    add(acceptedSaid(*row));
  } else if (d.kind == ValueKind::Number && d.max > d.min) {
    add(std::to_string(d.min) + ".." + std::to_string(d.max));
  } else if (d.kind == ValueKind::Choice && d.help.en.empty()) {
    add(joined(d.words, ", "));
  }
  if (d.repeat) add(say("repeatable", "可重复"));
  return out;
}

int chosenItem(const OptionDecl& d, const std::string& value) {
  const KeyValues* row = d.row();
  const ChoiceList list = row ? choiceListOf(*row, {}) : choicesOf(d.words, {}, false);
  const std::vector<int> named = itemsNamedBy(value, list);
  if (named.size() > 1) {
    std::string items;
    for (int i : named) items += (items.empty() ? "" : ", ") + std::to_string(i);
    throw UsageError(chineseChosen()
                         ? d.name + "：'" + value + "' 对应 " + std::to_string(named.size()) +
                               " 项（" + items + "），请给出所指项的序号"
                         : d.name + ": " + ambiguityRefusal(value, named),
                     "option-value");
  }
  if (auto item = matchChoice(value, list)) return *item;
  throw UsageError(chineseChosen()
                       ? d.name + "：'" + value + "' 不在可选值之中：" + listedChoices(list)
                       : d.name + ": " + choiceRefusal(value, list),
                   "option-value");
}

std::string checkedNumber(const OptionDecl& d, const std::string& value) {
  long long min = d.min, max = d.max;
  if (const KeyValues* row = d.row()) {
    // The window's edit first (what its key filter and length let through), then the range.
    if (row->filter != FieldFilter::Any || row->maxChars) {
      checkFieldLimit(value, {d.name.c_str(), row->filter, row->maxChars, false});
    }
    min = row->min;
    max = row->max;
  }
  return std::to_string(parseInteger(value, d.name, min, max));
}

void checkKeyText(const OptionDecl& d, const std::string& value) {
  const KeyValues* row = d.row();
  if (!row || row->form != ValueForm::Edit) return;
  checkFieldLimit(value, {d.name.c_str(), row->filter, row->maxChars, isPasswordKey(row->key)});
}

}  // namespace plenar::cli
