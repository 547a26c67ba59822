// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cli/CliCommands.h"

namespace plenar::cli {

// A command's options and values as its usage and summary name them: what completion offers and
// what the help and the man page list, read from the command table.
struct CommandWords {
  // Option name and its values: "a b c" for alternatives, "@file" for a file, "" for free
  // text, "-" for a flag.
  std::vector<std::pair<std::string, std::string>> options;
  std::string positional;  // the first argument's values, as for an option
};

CommandWords wordsOf(const CliCommand& command);

// The words of a usage or summary text, brackets and parentheses taken away.
std::vector<std::string> usageTokens(const std::string& text);

}  // namespace plenar::cli
