// SPDX-License-Identifier: GPL-3.0-or-later
// plenar --complete WORD... : the words the shell may offer next, read from the command table
// (each command's usage and summary name its options and their values), so that completion
// follows the program. Special answers: "@file", "@dir" and "@ini" ask the shell for names.

#include <glob.h>

#include <cstdio>
#include <set>

#include "cli/CliCommands.h"
#include "cli/CommandWords.h"

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
  for (const std::string& v : usageTokens(values)) std::printf("%s\n", v.c_str());
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
