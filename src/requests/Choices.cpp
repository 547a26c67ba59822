// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/Choices.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "requests/OptionLists.h"

namespace plenar {

std::string asciiLower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool equalLowered(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

ChoiceList choicesOf(const std::vector<std::string>& items, ChoiceKeywords keywords,
                     bool indexAllowed) {
  ChoiceList list;
  for (const auto& item : items) list.items.push_back({item});
  list.keywords = std::move(keywords);
  list.indexAllowed = indexAllowed;
  return list;
}

std::optional<int> matchChoice(const std::string& value, const ChoiceList& list) {
  for (const auto& [word, item] : list.keywords) {
    if (equalLowered(word, value)) return item;
  }
  for (std::size_t i = 0; i < list.items.size(); ++i) {
    for (const auto& text : list.items[i]) {
      if (!text.empty() && equalLowered(text, value)) return static_cast<int>(i);
    }
  }
  if (list.indexAllowed && !value.empty() && value.size() <= 3 &&
      std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); })) {
    std::size_t index = std::stoul(value);
    if (index < list.items.size()) return static_cast<int>(index);
  }
  return std::nullopt;
}

std::string describeChoices(const ChoiceList& list) {
  std::string choices;
  auto add = [&](const std::string& s) { choices += (choices.empty() ? "" : ", ") + s; };
  for (const auto& [word, item] : list.keywords) add(word);
  if (choices.empty() || list.items.size() <= 12) {
    for (const auto& texts : list.items) {
      if (!texts.empty()) add(texts.front());
    }
  }
  if (list.indexAllowed && !list.items.empty()) {
    choices += (choices.empty() ? "" : ", or ") + std::string("an index 0..") +
               std::to_string(list.items.size() - 1);
  }
  return choices;
}

ChoiceList codePageChoices() {
  ChoiceList list;
  std::map<std::string, int> uses;
  std::vector<std::string> names;
  for (const auto& item : kCodePageItems) {
    std::string text(item);
    list.items.push_back({text});
    const std::size_t cut = text.find_first_of(": ");
    names.push_back(cut == std::string::npos ? std::string() : text.substr(0, cut));
    ++uses[asciiLower(names.back())];
    ++uses[asciiLower(text)];
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!names[i].empty() && uses[asciiLower(names[i])] == 1) list.items[i].push_back(names[i]);
  }
  return list;
}

}  // namespace plenar
