// SPDX-License-Identifier: GPL-3.0-or-later
#include <fstream>
#include <sstream>

#include "Pages.h"
#include "Roff.h"
#include "cli/CliArgs.h"
#include "cli/CliCommands.h"
#include "cli/CommandDocs.h"

namespace plenar::man {
namespace {

using cli::CliCommand;

// The shared options from the help text: "  --name ARG   text", continued on lines that start
// with blanks only.
std::string optionsSection() {
  std::istringstream in(cli::commonOptionsHelp());
  std::string line, out;
  bool first = true;
  while (std::getline(in, line)) {
    if (first) {  // the heading
      first = false;
      continue;
    }
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos) continue;
    if (line.compare(start, 2, "--") == 0 && start == 2) {
      const std::size_t gap = line.find("  ", start);
      out += ".TP\n.B " + roff(line.substr(start, gap - start)) + "\n";
      if (gap != std::string::npos) {
        out += roff(line.substr(line.find_first_not_of(' ', gap))) + "\n";
      }
    } else {
      out += roff(line.substr(start)) + "\n";
    }
  }
  return out;
}

std::string commandSection(const CliCommand& c) {
  std::string out = ".SS " + quoted(c.name) + "\n";
  out += ".B " + quoted(std::string("plenar ") + (c.needsLink ? "LINK " : "") + c.usage) + "\n";
  out += ".PP\n" + roff(c.summary.en) + ".\n";
  for (const auto& [term, text] : cli::commandTerms(c.name)) {
    out += ".TP\n.B " + quoted(term) + "\n" + roff(text) + "\n";
  }
  const cli::CommandDoc* doc = cli::commandDoc(c.name);
  if (!doc) return out;
  out += ".PP\nExample:\n.RS\n.B " + quoted("plenar " + doc->example) + "\n.RE\n";
  return out;
}

}  // namespace

Sections readSections(const std::string& path) {
  std::ifstream in(path);
  Sections out;
  std::string line, name;
  while (std::getline(in, line)) {
    if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      name = line.substr(1, line.size() - 2);
      continue;
    }
    if (!name.empty()) out[name] += line + "\n";
  }
  return out;
}

std::string plenarPage(const std::string& version, const Sections& sections) {
  std::string out = ".TH PLENAR 1 \"\" " + quoted("plenar " + version) + " \"User Commands\"\n";
  out += ".SH NAME\nplenar \\- run Plenar Setting Tool's printer commands from the command line\n";
  auto hand = [&](const char* name) {
    auto it = sections.find(name);
    if (it != sections.end()) out += std::string(".SH ") + name + "\n" + it->second;
  };
  hand("SYNOPSIS");
  hand("DESCRIPTION");
  out += ".SH OPTIONS\n" + optionsSection();
  out += ".SH COMMANDS\n" + roff(cli::kLinkText.en) + "\n";
  out +=
      ".B plenar help\n.I COMMAND\nand\n.B plenar\n.I COMMAND\n.B \\-\\-help\n"
      "print the same for one command.\n";
  for (const CliCommand& c : cli::cliCommands()) out += commandSection(c);
  out += R"(.SH "EXIT STATUS"
.TP
.B 0
done
.TP
.B 1
failed with a message
.TP
.B 2
failed without one
.TP
.B 64
usage error: an unknown command or option, any bad option value (an unknown baud rate among
them)
.TP
.B 65
a value refused by a field check (the window would show a message box), a profile value or
key refused, or a password read from a file or standard input that is empty, holds a NUL byte or
a second line
.TP
.B 66
an input file missing or unreadable: a profile, firmware, font, logo, password file or
.B \-\-file
.TP
.B 73
an output file cannot be created or replaced: the folder of a read-back file is missing or not
writable, the file is a folder, a link to a file or another user's file; the state or
.B \-\-dir
folder belongs to another user or others may write to it; an
.B apply \-\-record
file is not a record
.TP
.B 74
writing to standard output or standard error failed (a full disk, a closed pipe's reader)
.TP
.B 128+\fIN\fP
stopped by signal
.I N
.PP
With
.BR \-\-json ,
the document's
.B exit_code
is the same, and every error carries its
.B kind
and a stable English
.B code
for scripts, whatever the language of its message.
)";
  for (const char* name :
       {"FILES", "ENVIRONMENT", "PASSWORDS", "PERMISSIONS", "EXAMPLES", "SEE ALSO", "COPYRIGHT"}) {
    hand(name);
  }
  return out;
}

}  // namespace plenar::man
