#include "cli/CliCommands.h"

#include <cstdio>

#include "app/Language.h"
#include "app/MainDefault.h"
#include "cli/CliSession.h"
#include "platform/BuildInfo.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"

namespace plenar::cli {
namespace {

void printHelp() {
  std::printf(
      "plenar - Plenar Setting Tool from the command line\n\n"
      "usage: plenar [options] COMMAND [arguments]\n\n");
  std::printf("%s\nCommands:\n", commonOptionsHelp());
  for (const auto& c : cliCommands()) {
    std::printf("  %-34s %s\n", c.usage.c_str(), c.summary.c_str());
  }
  std::printf(
      "\nProgress and status texts go to stderr, data to stdout.\n"
      "Exit codes: 0 done, 1 failed with a message, 2 failed without one, 64 usage error,\n"
      "65 input refused by a field check.\n");
}

void printVersion() {
  std::printf("plenar (%s) %s\n", kProductName, buildVersion());
}

// What ProgramPaths decided, one file a line: the first place to look when settings seem lost.
void printPaths(const ProgramPaths& paths) {
  std::printf("mode           %s\n", modeName(paths.mode));
  std::printf("sysconfig.ini  %s\n", paths.settingsFile().c_str());
  for (const char* name : {"debug.log", "1.bin", "2.bin"}) {
    std::printf("%-14s %s\n", name, pathIn(paths.stateDir, name).c_str());
  }
  for (int index : {0, 1}) {
    const std::string name = languageFileName(index);
    std::printf("%-14s %s\n", name.c_str(), pathIn(paths.languageFolder(name), name).c_str());
  }
}

}  // namespace

void addGeneralCommands(std::vector<CliCommand>& out) {
  out.push_back({"run-code", "run-code CODE [--value1 N] [--value2 N]",
                 "post a raw command code to the worker (diagnostics)", false,
                 [](const CommonOptions& o, ArgList& args) {
                   CommandRequest r;
                   r.value1 = static_cast<std::int32_t>(
                       args.takeInt("--value1", INT32_MIN, INT32_MAX).value_or(0));
                   r.value2 = static_cast<std::int32_t>(
                       args.takeInt("--value2", INT32_MIN, INT32_MAX).value_or(0));
                   auto p = args.expect(1, "run-code CODE [--value1 N] [--value2 N]");
                   r.code = static_cast<int>(parseInteger(p[0], "CODE", 0, INT32_MAX));
                   CliSession session(o);
                   return session.run(std::move(r));
                 }});
}

const std::vector<CliCommand>& cliCommands() {
  static const std::vector<CliCommand> commands = [] {
    std::vector<CliCommand> all;
    addLinkCommands(all);
    addSettingsCommands(all);
    addFileCommands(all);
    addPortCommands(all);
    addGeneralCommands(all);
    return all;
  }();
  return commands;
}

int runCli(const std::vector<std::string>& argv) {
  try {
    CommonOptions options = parseCommonOptions(argv);
    if (options.version) {
      printVersion();
      return kExitDone;
    }
    if (options.showPaths) {
      printPaths(options.paths);
      return kExitDone;
    }
    if (options.help || options.command.empty()) {
      printHelp();
      return options.help ? kExitDone : kExitUsage;
    }
    // The texts a command shows or refuses with, and those of the printer routines, come in
    // the chosen language from the start.
    int language =
        options.language.value_or(readMainDefault(IniFile(options.paths.settingsFile())).language);
    applyLanguageTexts(options.paths.languageFolder(languageFileName(language)), language);
    options.paths.createFolders();
    for (const auto& c : cliCommands()) {
      if (c.name != options.command) continue;
      if (c.needsLink && !options.linkGiven) {
        throw UsageError("choose a link: --serial PORT, --net ADDR[:PORT], --usb ID or --lpt N");
      }
      ArgList args(options.rest);
      return c.run(options, args);
    }
    throw UsageError("unknown command '" + options.command + "'");
  } catch (const UsageError& e) {
    std::fprintf(stderr, "plenar: %s\n(plenar --help lists the commands and options)\n", e.what());
    return kExitUsage;
  } catch (const InputRefused& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return kExitRefused;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plenar: %s\n", e.what());
    return kExitUndefined;
  }
}

}  // namespace plenar::cli
