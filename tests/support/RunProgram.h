// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace plenar::test {

struct ProgramRun {
  int exitCode;        // -1 when the program did not exit normally
  std::string output;  // what the shell command wrote on its standard output
};

// Runs a shell command line and collects its standard output (redirect stderr in the line as
// needed, e.g. "2>&1" or "2>&1 >/dev/null").
ProgramRun runShell(const std::string& commandLine);
// Single-quotes an argument for the shell.
std::string shellQuoted(const std::string& arg);
// The built plenar program followed by `args` (already quoted where needed).
std::string plenarCommandLine(const std::string& args);

}  // namespace plenar::test
