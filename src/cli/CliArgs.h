// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/CommandRequest.h"
#include "platform/ProgramPaths.h"
#include "shared/Errors.h"

namespace plenar::cli {

enum ExitCode : int {
  kExitDone = 0,
  kExitFailed = 1,     // failed with a message
  kExitUndefined = 2,  // failed without one
  kExitUsage = 64,
  kExitRefused = 65,     // a field check refused the input
  kExitNoInput = 66,     // an input file is missing or unreadable
  kExitCantCreate = 73,  // an output file cannot be created or replaced
  kExitIoError = 74,     // writing to stdout or stderr failed
};

// A wrong command line: printed with the usage hint, exit 64.
// `code` is the stable key the JSON error carries (see RunReport.h).
class UsageError : public Error {
 public:
  explicit UsageError(const std::string& message, std::string code = "usage")
      : Error(message, {.kind = FailureKind::Usage, .code = std::move(code)}) {}
};

// A field check refused the input (the window would show a message box): exit 65. `kind` is the
// result's error kind (Refused, or File for an input file that cannot be used); `field` the
// argument or key refused, when known.
class InputRefused : public Error {
 public:
  explicit InputRefused(const std::string& message, FailureKind kind = FailureKind::Refused,
                        std::string field = {}, std::string code = {})
      : Error(message, {.kind = kind, .code = std::move(code), .field = std::move(field)}) {}
};

struct OptionDecl;

// The arguments left for a command once the shared options are taken out.
class ArgList {
 public:
  explicit ArgList(std::vector<std::string> args) : args_(std::move(args)) {}
  // The arguments of a command with a declared table (OptionTable.h): every declared option's
  // value and every declared argument is checked at once against its declaration (UsageError
  // "option-value", InputRefused for a window's edit limit), and `usage` is what a wrong count
  // of arguments shows.
  ArgList(std::vector<std::string> args, const std::vector<OptionDecl>& table, std::string usage);

  // The item a declared Choice's value names; a declared Number's value as digits.
  int choose(const std::string& name, const std::string& value) const;
  std::string number(const std::string& name, const std::string& value) const;
  // A declared option's value, checked as `choose` and `number` do; nullopt when not given.
  std::optional<int> takeItem(const std::string& name);
  std::optional<std::string> takeNumber(const std::string& name);
  // A declared Text value held to its key's edit limits.
  const std::string& keyText(const std::string& name, const std::string& value) const;

  // "--name VALUE" or "--name=VALUE"; removed from the list when found.
  std::optional<std::string> takeOption(const std::string& name);
  bool takeFlag(const std::string& name);
  // "--name A B": an option with two values.
  std::optional<std::pair<std::string, std::string>> takeOptionPair(const std::string& name);
  // Integer option within [min, max]; UsageError otherwise.
  std::optional<long long> takeInt(const std::string& name, long long min, long long max);
  // The remaining arguments, which must all be positional (UsageError for a leftover option).
  std::vector<std::string> positionals() const;
  // Exactly `count` positionals, else UsageError with `usage`.
  std::vector<std::string> expect(std::size_t count, const std::string& usage) const;
  bool empty() const { return args_.empty(); }
  const std::vector<std::string>& remaining() const { return args_; }

 private:
  const OptionDecl& declared(const std::string& name) const;
  void checkDeclared() const;

  std::vector<std::string> args_;
  std::vector<std::string> asked_;  // the options looked for so far, for a misspelt one's hint
  const std::vector<OptionDecl>* table_ = nullptr;
  std::string usage_;
};

class RunReport;

// Options shared by every printer command.
struct CommonOptions {
  LinkSnapshot link;
  bool linkGiven = false;
  ProgramPaths paths;           // --dir, else decided from where the program is installed
  std::optional<int> language;  // --lang: 0 zh, 1 en; default from sysconfig.ini
  bool help = false;
  bool showPaths = false;       // --paths
  bool version = false;         // --version
  bool json = false;            // --json: one JSON document on stdout
  bool pretty = false;          // --pretty: that document indented
  bool events = false;          // --events: one JSON line per progress step on stderr
  RunReport* report = nullptr;  // the run's result document, filled by the command
  std::string command;          // first positional
  std::vector<std::string> rest;
};

// Takes the shared options out of argv (anywhere on the line). UsageError on a bad value.
// `--json` and `--pretty` are also found by wantsJson() before anything else, so that even a
// usage error answers in JSON.
CommonOptions parseCommonOptions(const std::vector<std::string>& argv);
// Parses "ADDR[:PORT]" (port default 5100); UsageError for an address the link would refuse.
void parseNetAddress(const std::string& text, LinkSnapshot& link);
// UsageError unless `entry` is VID_xxxx&PID_yyyy with at most one third part.
void checkUsbEntry(const std::string& entry);
// A serial rate the printer has a code for (1200 ... 230400), as digits; UsageError otherwise.
std::string checkedRateText(const std::string& option, const std::string& text);
long long parseInteger(const std::string& text, const std::string& what, long long min,
                       long long max);

std::string commonOptionsHelp();
// The language of the run: --lang, else the language stored by the window, else the locale's
// (0 Chinese, 1 English).
int commandLanguage(const CommonOptions& options);
// The shared options' names, long and short: what a misspelt option is compared with.
const std::vector<std::string>& commonOptionNames();
// The candidates nearest to a misspelt `word` (nearestWords), else those it names with two
// neighbouring letters swapped.
std::vector<std::string> nearestSpellings(const std::string& word,
                                          const std::vector<std::string>& candidates);
bool wantsJson(const std::vector<std::string>& argv);

}  // namespace plenar::cli
