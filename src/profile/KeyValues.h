// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/IniFile.h"
#include "requests/Choices.h"
#include "requests/FieldLimits.h"
#include "shared/SharedTexts.h"

namespace plenar {

// What a [ParaDefault] key of a settings group accepts. The group builders read their values
// through this table, and `plenar profile keys` and plenar-profile(5) print it, so that what is
// documented is what is taken.
enum class ValueForm {
  Choice,  // a list item: a plain word, the item's text in either language, or its index
  Flag,    // a check box: 1/0, on/off, true/false, yes/no
  Number,  // a spin box: a decimal number within min..max
  Edit,    // an edit: what its key filter and length let through
  Mac,     // twelve hexadecimal digits, pairs optionally joined by ':' or '-'
};

struct KeyValues {
  const char* key;
  ValueForm form;
  // Choice: the window's item texts, fixed (rates, code pages, fonts) or, with `list`, from
  // the language files.
  std::vector<std::string> items{};
  OptionList list = OptionList::Count;
  ChoiceKeywords plain{};  // the plain words, the same as the command's
  bool indexAllowed = true;
  // Number, and an Edit that holds a number within the window's hint
  long long min = 0, max = 0;
  // Edit
  FieldFilter filter = FieldFilter::Any;
  std::size_t maxChars = 0;
  bool required = false;
  const char* note = nullptr;  // what the value means, where the form does not say it
};

// The table, in the order of the groups' keys.
std::span<const KeyValues> keyValueTable();
const KeyValues* keyValuesOf(std::string_view key);

// The flag words (on/off, ...), plain words of the check boxes.
const ChoiceKeywords& flagWords();

// A choice key's items, each with every text it may be given as: the text in the language in
// force first, then the built-in Chinese text, then those of the given language files.
ChoiceList choiceListOf(const KeyValues& values, const std::vector<IniDocument>& languages);

// One item of a choice key for people: its index, plain words and texts (Chinese, English).
struct ChoiceItem {
  int index = 0;
  std::vector<std::string> plain;
  std::string chinese, english;
};
// `english`: the English language file, whose list texts are the English ones (nullptr: the
// texts in force).
std::vector<ChoiceItem> choiceItems(const KeyValues& values, const IniDocument* english = nullptr);

// One line for people: "1200, 2400, ...", "a number 1..255", "on or off (1/0, ...)".
std::string acceptedText(const KeyValues& values);

// The items whose texts are `value` (letter case ignored), unless a plain word names one: more
// than one means the text cannot say which is meant.
std::vector<int> itemsNamedBy(const std::string& value, const ChoiceList& list);
// "'Reversed' names 4 items (15, 16, 17, 18); give the index of the one meant".
std::string ambiguityRefusal(const std::string& value, const std::vector<int>& items);

// "'x' is not one of ...; did you mean `y`?" for a value no item takes.
std::string choiceRefusal(const std::string& value, const ChoiceList& list);

}  // namespace plenar
