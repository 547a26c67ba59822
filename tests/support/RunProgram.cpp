// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunProgram.h"

#include <sys/wait.h>

#include <cstdio>

#include "SimProcess.h"

namespace plenar::test {

ProgramRun runShell(const std::string& commandLine) {
  FILE* p = ::popen(commandLine.c_str(), "r");
  if (p == nullptr) return {-1, ""};
  std::string out;
  char buf[4096];
  while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  int status = ::pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::string shellQuoted(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string plenarCommandLine(const std::string& args) {
  return binaryPath("plenar") + " " + args;
}

}  // namespace plenar::test
