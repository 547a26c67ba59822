// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plenar {

// A list field given as text outside the window (plenar's arguments, profile values): a keyword
// ("soft", "on", "0A"), one of the item's texts (letter case ignored, as the window matches
// stored texts; an item may have a text per language), or, where allowed, the item's index.
using ChoiceKeywords = std::vector<std::pair<std::string, int>>;

struct ChoiceList {
  std::vector<std::vector<std::string>> items;  // the texts of each item, by index
  ChoiceKeywords keywords{};
  bool indexAllowed = true;
};

// One text per item.
ChoiceList choicesOf(const std::vector<std::string>& items, ChoiceKeywords keywords = {},
                     bool indexAllowed = true);

// The item `value` names, first by keyword, then by text, then by index; nullopt when none.
std::optional<int> matchChoice(const std::string& value, const ChoiceList& list);
// What may be given, for a refusal: the keywords, the texts (of short lists, or when there are
// no keywords; the first text of each item) and the index range.
std::string describeChoices(const ChoiceList& list);

std::string asciiLower(std::string s);
// asciiLower(a) == asciiLower(b), without building either: keys and item texts are compared in
// loops over whole tables.
bool equalLowered(std::string_view a, std::string_view b);

// cbb_Codepage's items, each also by the name before its description ("CP437", "ISO-8859-1")
// where that name belongs to one item only; indexes 0..52.
ChoiceList codePageChoices();

}  // namespace plenar
