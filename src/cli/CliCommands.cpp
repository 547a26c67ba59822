// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliCommands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/Language.h"
#include "cli/CliSession.h"
#include "cli/CliTexts.h"
#include "cli/CommandDocs.h"
#include "cli/DocumentOnce.h"
#include "cli/OptionTable.h"
#include "cli/RunReport.h"
#include "cli/StderrLines.h"
#include "cli/UsbChoiceCheck.h"
#include "platform/BuildInfo.h"
#include "platform/FolderOwners.h"
#include "platform/IniFile.h"
#include "platform/Notes.h"
#include "platform/ProgramPaths.h"
#include "platform/TerminationSignals.h"
#include "profile/ApplyRecord.h"
#include "profile/Profile.h"
#include "shared/Nearest.h"

namespace plenar::cli {
namespace {

// The line under a usage error.
std::string helpPointer() {
  return say("\n(plenar --help lists the commands and options)",
             "\n（plenar --help 列出所有命令和选项）");
}

// `text` folded into lines of at most 80 columns, each after `indent` blanks.
std::string folded(const std::string& text, std::size_t indent) {
  return foldText(text, std::string(indent, ' '), indent);
}

void printHelp(const CommonOptions& o) {
  if (o.json) {
    Json commands = Json::array();
    for (const auto& c : cliCommands()) {
      commands.push_back({{"name", c.name}, {"usage", c.usage}, {"summary", say(c.summary)}});
    }
    o.report->result()["commands"] = std::move(commands);
    return;
  }
  std::printf("%s", say("plenar - Plenar Setting Tool from the command line\n\n"
                        "usage: plenar [options] COMMAND [arguments]\n"
                        "       plenar help COMMAND, plenar COMMAND --help: one command\n\n",
                        "plenar - Plenar Setting Tool 命令行\n\n"
                        "用法：plenar [选项] 命令 [参数]\n"
                        "      plenar help 命令、plenar 命令 --help：单个命令的帮助\n\n")
                        .c_str());
  std::printf("%s\n%s\n", commonOptionsHelp().c_str(), say("Commands:", "命令：").c_str());
  for (const auto& c : cliCommands()) {
    std::printf("%s%s", folded(c.usage, 2).c_str(), folded(say(c.summary), 6).c_str());
  }
  std::printf("\n%s",
              say("Progress and status texts go to stderr, data to stdout.\n"
                  "Exit codes: 0 done, 1 failed with a message, 2 failed without one,\n"
                  "64 usage error, 65 input refused by a field check, 66 an input file\n"
                  "missing or unreadable, 73 an output file cannot be created, 74 a write to\n"
                  "stdout or stderr failed, 128+N stopped by signal N.\n",
                  "进度和状态文字写到 stderr，数据写到 stdout。\n"
                  "退出码：0 完成，1 失败并有说明，2 失败且无说明，64 用法错误，\n"
                  "65 输入未通过字段检查，66 输入文件不存在或无法读取，73 无法创建输出文件，\n"
                  "74 写 stdout 或 stderr 失败，128+N 被信号 N 终止。\n")
                  .c_str());
}

// One command's usage, what it does, its arguments and options, and an example.
void printCommandHelp(const CommonOptions& o, const CliCommand& c) {
  o.report->result() = {{"name", c.name}, {"usage", c.usage}, {"summary", say(c.summary)}};
  if (const CommandDoc* doc = commandDoc(c.name)) o.report->result()["example"] = doc->example;
  if (o.json) return;
  std::printf("%s", commandHelpText(c.name, c.usage, say(c.summary), c.needsLink).c_str());
}

const CliCommand* findCommand(const std::string& name) {
  for (const auto& c : cliCommands()) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

[[noreturn]] void unknownCommand(const std::string& name) {
  std::vector<std::string> names;
  for (const auto& c : cliCommands()) names.push_back(c.name);
  const std::string hint = suggestion(nearestSpellings(name, names));
  throw UsageError(say("unknown command '%1'", "未知命令 '%1'", {name}) +
                       (hint.empty() ? "" : say("; ", "；") + hint),
                   "unknown-command");
}

void printVersion(const CommonOptions& o) {
  o.report->result() = {{"version", buildVersion()}, {"product", kProductName}};
  if (!o.json) std::printf("plenar (%s) %s\n", kProductName, buildVersion());
}

// What ProgramPaths decided, one file a line: the first place to look when settings seem lost.
void printPaths(const CommonOptions& o) {
  const ProgramPaths& paths = o.paths;
  Json& r = o.report->result();
  r["mode"] = modeName(paths.mode);
  r["sysconfig"] = paths.settingsFile();
  r["debug_log"] = pathIn(paths.stateDir, "debug.log");
  r["logo_files"] = {pathIn(paths.stateDir, "1.bin"), pathIn(paths.stateDir, "2.bin")};
  r["apply_records"] = pathIn(paths.stateDir, "apply");
  // With a link: the record an apply over it keeps by default.
  if (o.linkGiven) {
    const std::string record = defaultRecordPath(paths.stateDir, o.link);
    std::error_code ec;
    r["apply_record"] = {{"path", record}, {"exists", std::filesystem::exists(record, ec)}};
  }
  Json languages = Json::object();
  for (int index : {0, 1}) {
    const std::string name = languageFileName(index);
    languages[name] = pathIn(paths.languageFolder(name), name);
  }
  r["language_files"] = std::move(languages);
  if (o.json) return;
  std::printf("mode           %s\n", modeName(paths.mode));
  std::printf("sysconfig.ini  %s\n", paths.settingsFile().c_str());
  for (const char* name : {"debug.log", "1.bin", "2.bin"}) {
    std::printf("%-14s %s\n", name, pathIn(paths.stateDir, name).c_str());
  }
  for (int index : {0, 1}) {
    const std::string name = languageFileName(index);
    std::printf("%-14s %s\n", name.c_str(), pathIn(paths.languageFolder(name), name).c_str());
  }
  std::printf("%-14s %s\n", "apply records", pathIn(paths.stateDir, "apply").c_str());
  if (o.linkGiven) {
    std::printf("%-14s %s\n", "this link's", r["apply_record"]["path"].get<std::string>().c_str());
  }
}

}  // namespace

void addGeneralCommands(std::vector<CliCommand>& out) {
  out.push_back({"run-code",
                 "run-code CODE [--value1 N] [--value2 N]",
                 {"post a raw command code to the worker (diagnostics)",
                  "向工作线程发送原始命令代码（诊断用）"},
                 true,
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
    addApplyCommand(all);
    addBatchCommand(all);
    addProfileCommands(all);
    addPortCommands(all);
    addGeneralCommands(all);
    // The usage line from the declared options: what the parser takes is what it shows.
    for (CliCommand& c : all) {
      if (const OptionTable* table = optionTableOf(c.name)) {
        const std::string arguments = usageArguments(*table);
        c.usage = c.name + (arguments.empty() ? "" : " " + arguments);
      }
    }
    return all;
  }();
  return commands;
}

namespace {

// A list, a document or a message that did not reach its stream fails the run, as it does for
// git and coreutils: a script must not take a half-written answer for a whole one.
int checkedOutputStatus(int rc) {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    const int error = errno;
    printLine(LineLevel::Error,
              say("plenar: cannot write to standard output: %1", "plenar：无法写入标准输出：%1",
                  {std::strerror(error ? error : EIO)}));
    return rc == kExitDone ? kExitIoError : rc;
  }
  if (std::fflush(stderr) != 0 || std::ferror(stderr)) return rc == kExitDone ? kExitIoError : rc;
  return rc;
}

int runCommand(CommonOptions& options, RunReport& report) {
  options.report = &report;
  // The texts a command shows or refuses with, and those of the printer routines, come in
  // the chosen language from the start; the help too.
  const int language = commandLanguage(options);
  options.language = language;
  chooseChinese(language == 0);
  if (options.version) {
    report.setCommand("version");
    printVersion(options);
    return kExitDone;
  }
  if (options.showPaths) {
    report.setCommand("paths");
    printPaths(options);
    return kExitDone;
  }
  // plenar help COMMAND, plenar COMMAND --help
  const bool helpCommand = options.command == "help";
  if ((options.help && !options.command.empty()) || (helpCommand && !options.rest.empty())) {
    const std::string name = helpCommand ? options.rest.front() : options.command;
    report.setCommand("help");
    const CliCommand* c = findCommand(name);
    if (!c) unknownCommand(name);
    printCommandHelp(options, *c);
    return kExitDone;
  }
  if (options.help || options.command.empty() || helpCommand) {
    report.setCommand("help");
    printHelp(options);
    if (options.help || helpCommand) return kExitDone;
    report.setError(FailureKind::Usage, say("no command given", "未给出命令"), {}, {}, 0,
                    "missing-argument");
    return kExitUsage;
  }
  report.setCommand(options.command);
  applyLanguageTexts(options.paths.languageFolder(languageFileName(language)), language);
  if (const std::string why = unsafeProgramFolders(options.paths); !why.empty()) {
    throw InputRefused(why + "; nothing was written or sent", FailureKind::File, "--dir",
                       "folder-unsafe");
  }
  options.paths.createFolders();
  for (const auto& c : cliCommands()) {
    if (c.name != options.command) continue;
    if (c.needsLink && !options.linkGiven) {
      throw UsageError(say("choose a link: --serial PORT, --net ADDR[:PORT], --usb ID or --lpt N",
                           "请选择连接：--serial PORT、--net ADDR[:PORT]、--usb ID 或 --lpt N"),
                       "missing-argument");
    }
    if (c.needsLink) report.setLink(options.link);
    if (c.needsLink) refuseAmbiguousUsbChoice(options);
    const OptionTable* table = optionTableOf(c.name);
    ArgList args = table ? ArgList(options.rest, *table, c.usage) : ArgList(options.rest);
    return c.run(options, args);
  }
  unknownCommand(options.command);
}

// The one place an error that ended a command becomes its lines on stderr, its JSON and the exit
// status. A wrong command line gets the hint to --help; a refusal (of the input, a file, a
// profile value: anything with a stable code) its own status; a failure no command reported
// itself is as unexpected as any other exception.
int reportError(const Error& e, RunReport& report) {
  if (e.kind() == FailureKind::Usage) {
    printLine(LineLevel::Error, stderrEvents()
                                    ? std::string("plenar: ") + e.what()
                                    : std::string("plenar: ") + e.what() + helpPointer());
    report.setError(FailureKind::Usage, e.what(), {}, {}, 0, e.code());
    return kExitUsage;
  }
  const bool refusal =
      e.kind() == FailureKind::Refused || e.kind() == FailureKind::File || !e.code().empty();
  if (!refusal) {
    printLine(LineLevel::Error, std::string("plenar: ") + e.what());
    report.setError(e.kind(), e.what(), e.detail());
    return kExitUndefined;
  }
  printLine(LineLevel::Error, e.what());
  report.setError(e.kind(), e.what(), e.detail(), e.field(), e.line(), e.code());
  return exitCodeOfError(e.kind(), e.code());
}

}  // namespace

int runCli(const std::vector<std::string>& argv) {
  if (!argv.empty() && argv.front() == "--complete") {
    return completeWords({argv.begin() + 1, argv.end()});
  }
  RunReport report;
  CommonOptions options;
  options.json = wantsJson(argv);
  options.pretty = std::find(argv.begin(), argv.end(), "--pretty") != argv.end();
  int rc = kExitUndefined;
  try {
    options = parseCommonOptions(argv);
    setStderrEvents(options.events, options.command);
    // Notes from below the command line are lines of its own (a JSON event under --events).
    setNoteSink([](const std::string& text) { printLine(LineLevel::Note, text); });
    if (options.json) armInterruptedDocument(options.command, options.pretty);
    rc = runCommand(options, report);
  } catch (const Error& e) {
    rc = reportError(e, report);
  } catch (const std::exception& e) {
    printLine(LineLevel::Error, std::string("plenar: ") + e.what());
    report.setError(FailureKind::Printer, e.what());
    rc = kExitUndefined;
  }
  // A signal ended the run: the process exits with 128 + its number (main), whatever the
  // command reached, and the document must say the same.
  if (const int signal = terminationSignal()) {
    const std::string reached = report.hasError() ? report.errorMessage() : std::string();
    rc = 128 + signal;
    report.setError(FailureKind::Interrupted, std::string("stopped by ") + signalName(signal),
                    reached);
  }
  if (options.json) writeDocumentOnce(report.document(rc, options.pretty));
  return checkedOutputStatus(rc);
}

}  // namespace plenar::cli
