// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace plenar::cli {

// What `plenar COMMAND --help` and plenar(1) say about a command beyond its usage and summary:
// its arguments and options with their values, and one example. Kept beside the command table,
// by command name; a test holds every command and every option its usage names to an entry.
struct CommandDoc {
  std::string name;
  std::vector<std::pair<std::string, std::string>> terms;  // "RATE", "1200, 2400, ..."
  std::string example;                                     // the arguments after "plenar"
};

const std::vector<CommandDoc>& commandDocs();
const CommandDoc* commandDoc(const std::string& name);

// LINK, as one line for people.
extern const char* const kLinkText;

// The whole text of `plenar COMMAND --help`, at most 80 columns, from the command's entry in
// the command table.
std::string commandHelpText(const std::string& name, const std::string& usage,
                            const std::string& summary, bool needsLink);

}  // namespace plenar::cli
