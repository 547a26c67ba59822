// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cli/CliTexts.h"

namespace plenar::cli {

// What `plenar COMMAND --help` and plenar(1) show of a command beyond its usage, summary and
// declared options (OptionTable.h): one example, by command name. A test runs every example's
// command line through the parser.
struct CommandDoc {
  std::string name;
  std::string example;  // the arguments after "plenar"
};

const std::vector<CommandDoc>& commandDocs();
const CommandDoc* commandDoc(const std::string& name);
// The command's arguments and options as the help lists them: term and what it takes, read from
// its declared options.
std::vector<std::pair<std::string, std::string>> commandTerms(const std::string& name);

// LINK, as one line for people, in both languages.
extern const Said kLinkText;

// The whole text of `plenar COMMAND --help` in the chosen language, at most 80 columns, from the
// command's entry in the command table.
std::string commandHelpText(const std::string& name, const std::string& usage,
                            const std::string& summary, bool needsLink);

}  // namespace plenar::cli
