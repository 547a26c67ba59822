// SPDX-License-Identifier: GPL-3.0-or-later
// plenar --complete WORD... : the words the shell may offer next, read from the command table
// (each command's usage and summary name its options and their values), so that completion
// follows the program. Special answers: "@file", "@dir" and "@ini" ask the shell for names.

#include <glob.h>

#include <cstdio>
#include <set>

#include "cli/CliCommands.h"

namespace plenar::cli {
namespace {

// Options of every command, with their values where they take one (empty: free text).
struct CommonOption {
  const char* name;
  const char* values;  // nullptr: a flag
};
const CommonOption kCommon[] = {
    {"--serial", "@serial"},
    {"--device-baud", "@rate"},
    {"--transfer-baud", "@rate"},
    {"--net", ""},
    {"--usb", ""},
    {"--lpt", ""},
    {"--dir", "@dir"},
    {"--lang", "zh en"},
    {"--json", nullptr},
    {"--pretty", nullptr},
    {"--events", nullptr},
    {"--paths", nullptr},
    {"--version", nullptr},
    {"--help", nullptr},
};

constexpr const char* kRates = "1200 2400 4800 9600 19200 38400 57600 115200 230400";

// The words of a usage or summary text, brackets and parentheses taken away.
std::vector<std::string> tokens(const std::string& text) {
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

std::string alternatives(const std::string& spec) {
  if (spec.find('|') == std::string::npos)
    return spec.find("FILE") != std::string::npos ? "@file" : "";
  std::string out;
  for (char c : spec) out += c == '|' ? ' ' : c;
  return out;
}

// The command's own options and their values, and its first positional's values.
struct CommandWords {
  std::vector<std::pair<std::string, std::string>> options;  // name, values ("" free, "-" flag)
  std::string positional;
};

CommandWords wordsOf(const CliCommand& c) {
  CommandWords w;
  const std::vector<std::string> t = tokens(c.usage + " " + c.summary);
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
  if (c.name == "apply") w.positional = "@ini";
  return w;
}

void printSerialPorts() {
  for (const char* pattern :
       {"/dev/ttyS[0-9]*", "/dev/ttyUSB[0-9]*", "/dev/ttyACM[0-9]*", "/dev/rfcomm[0-9]*"}) {
    glob_t g{};
    if (::glob(pattern, 0, nullptr, &g) == 0) {
      for (std::size_t i = 0; i < g.gl_pathc; ++i) std::printf("%s\n", g.gl_pathv[i]);
    }
    ::globfree(&g);
  }
}

void printValues(const std::string& values) {
  if (values == "@serial") return printSerialPorts();
  if (values == "@rate") return printValues(kRates);
  for (const std::string& v : tokens(values)) std::printf("%s\n", v.c_str());
}

const CommonOption* commonOption(const std::string& word) {
  for (const CommonOption& o : kCommon) {
    if (word == o.name) return &o;
  }
  return nullptr;
}

}  // namespace

int completeWords(const std::vector<std::string>& words) {
  if (words.empty()) return kExitUsage;
  const std::string& current = words.back();
  const std::string previous = words.size() > 1 ? words[words.size() - 2] : std::string();
  // The command: the first word that is neither an option nor an option's value.
  const CliCommand* command = nullptr;
  for (std::size_t i = 0; i + 1 < words.size(); ++i) {
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
  const CommandWords own = command ? wordsOf(*command) : CommandWords{};
  if (const CommonOption* o = commonOption(previous); o && o->values) {
    printValues(o->values);
    return kExitDone;
  }
  for (const auto& [name, values] : own.options) {
    if (name == previous && values != "-") {
      printValues(values);
      return kExitDone;
    }
  }
  if (current.rfind("-", 0) == 0) {
    std::set<std::string> shown;
    for (const auto& [name, values] : own.options) {
      if (shown.insert(name).second) std::printf("%s\n", name.c_str());
    }
    for (const CommonOption& o : kCommon) {
      if (shown.insert(o.name).second) std::printf("%s\n", o.name);
    }
    return kExitDone;
  }
  if (!command) {
    for (const auto& c : cliCommands()) std::printf("%s\n", c.name.c_str());
    std::printf("help\n");
    return kExitDone;
  }
  printValues(own.positional);
  return kExitDone;
}

}  // namespace plenar::cli
