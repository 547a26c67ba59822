// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/CliArgs.h"
#include "cli/CliTexts.h"

namespace plenar::cli {

// One `plenar` command: its name, a one-line usage, and what it does with its arguments.
// `run` returns the exit code; it throws UsageError or InputRefused for bad input.
struct CliCommand {
  std::string name;
  std::string usage;  // e.g. "set-baud RATE"
  Said summary;
  bool needsLink = true;  // talks to the printer through --serial/--net/--usb/--lpt
  std::function<int(const CommonOptions&, ArgList&)> run;
};

// Every command, in the order `--help` lists them.
const std::vector<CliCommand>& cliCommands();
// Each command module adds its commands, in its own file.
void addGeneralCommands(std::vector<CliCommand>& out);   // CliCommands.cpp
void addPortCommands(std::vector<CliCommand>& out);      // PortCommands.cpp: list-ports
void addLinkCommands(std::vector<CliCommand>& out);      // LinkCommands.cpp: test
void addSettingsCommands(std::vector<CliCommand>& out);  // SettingsCommands.cpp: set-*, ...
void addFileCommands(std::vector<CliCommand>& out);      // FileCommands.cpp: font, logo, ...
void addApplyCommand(std::vector<CliCommand>& out);      // ApplyCommand.cpp: apply
void addBatchCommand(std::vector<CliCommand>& out);      // BatchCommand.cpp: batch
void addProfileCommands(std::vector<CliCommand>& out);   // ProfileCommands.cpp: profile keys

int runCli(const std::vector<std::string>& argv);
// plenar --complete WORD...: the words to offer for the last one (CompletionWords.cpp).
int completeWords(const std::vector<std::string>& words);

}  // namespace plenar::cli
