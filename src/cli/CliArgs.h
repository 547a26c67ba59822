#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/CommandRequest.h"
#include "platform/ProgramPaths.h"

namespace plenar::cli {

enum ExitCode : int {
  kExitDone = 0,
  kExitFailed = 1,     // failed with a message
  kExitUndefined = 2,  // failed without one
  kExitUsage = 64,
  kExitRefused = 65,  // a field check refused the input
};

// A wrong command line: printed with the usage hint, exit 64.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A field check refused the input (the window would show a message box): exit 65.
class InputRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The arguments left for a command once the shared options are taken out.
class ArgList {
 public:
  explicit ArgList(std::vector<std::string> args) : args_(std::move(args)) {}

  // "--name VALUE" or "--name=VALUE"; removed from the list when found.
  std::optional<std::string> takeOption(const std::string& name);
  bool takeFlag(const std::string& name);
  // Integer option within [min, max]; UsageError otherwise.
  std::optional<long long> takeInt(const std::string& name, long long min, long long max);
  // The remaining arguments, which must all be positional (UsageError for a leftover option).
  std::vector<std::string> positionals() const;
  // Exactly `count` positionals, else UsageError with `usage`.
  std::vector<std::string> expect(std::size_t count, const std::string& usage) const;
  bool empty() const { return args_.empty(); }
  const std::vector<std::string>& remaining() const { return args_; }

 private:
  std::vector<std::string> args_;
};

// Options shared by every printer command.
struct CommonOptions {
  LinkSnapshot link;
  bool linkGiven = false;
  ProgramPaths paths;           // --dir, else decided from where the program is installed
  std::optional<int> language;  // --lang: 0 zh, 1 en; default from sysconfig.ini
  bool help = false;
  bool showPaths = false;  // --paths
  bool version = false;    // --version
  std::string command;     // first positional
  std::vector<std::string> rest;
};

// Takes the shared options out of argv (anywhere on the line). UsageError on a bad value.
CommonOptions parseCommonOptions(const std::vector<std::string>& argv);
// Parses "ADDR[:PORT]" (port default 5100).
void parseNetAddress(const std::string& text, LinkSnapshot& link);
long long parseInteger(const std::string& text, const std::string& what, long long min,
                       long long max);

const char* commonOptionsHelp();

}  // namespace plenar::cli
