// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandWords.h"

#include <algorithm>
#include <cctype>

namespace plenar::cli {
namespace {

std::string alternatives(const std::string& spec) {
  if (spec.find('|') == std::string::npos)
    return spec.find("FILE") != std::string::npos ? "@file" : "";
  std::string out;
  for (char c : spec) out += c == '|' ? ' ' : c;
  return out;
}

}  // namespace

std::vector<std::string> usageTokens(const std::string& text) {
  std::vector<std::string> out;
  std::string word;
  for (char c : text + " ") {
    if (c == ' ' || c == '[' || c == ']' || c == '(' || c == ')' || c == ',' || c == ';') {
      while (!word.empty() && (word.back() == ':' || word.back() == '.')) word.pop_back();
      if (!word.empty()) out.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return out;
}

CommandWords wordsOf(const CliCommand& c) {
  CommandWords w;
  const std::vector<std::string> t = usageTokens(c.usage + " " + c.summary);
  for (std::size_t i = 1; i < t.size(); ++i) {
    if (t[i].rfind("--", 0) == 0) {
      const bool takesValue =
          i + 1 < t.size() && t[i + 1].rfind("--", 0) != 0 && t[i + 1] != "|" &&
          !t[i + 1].empty() &&
          (std::isupper(static_cast<unsigned char>(t[i + 1][0])) ||
           t[i + 1].find('|') != std::string::npos ||
           std::isdigit(static_cast<unsigned char>(t[i + 1][0])) || t[i + 1] == "-");
      w.options.emplace_back(t[i], takesValue ? alternatives(t[i + 1]) : "-");
    } else if (w.positional.empty() && i == 1 && t[i].find('|') != std::string::npos) {
      w.positional = alternatives(t[i]);
    }
  }
  // A fixed word as the usage's first argument ("profile keys").
  const std::vector<std::string> own = usageTokens(c.usage);
  if (w.positional.empty() && own.size() > 1 &&
      std::all_of(own[1].begin(), own[1].end(),
                  [](unsigned char ch) { return std::islower(ch); })) {
    w.positional = own[1];
  }
  if (c.name == "apply" || c.name == "batch") w.positional = "@ini";
  return w;
}

}  // namespace plenar::cli
