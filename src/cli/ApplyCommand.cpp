// SPDX-License-Identifier: GPL-3.0-or-later
// plenar apply: makes the printer match a profile, sending only the groups that differ from the
// record of what was last applied to it.

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/ActionDriver.h"
#include "app/Language.h"
#include "cli/ApplyJson.h"
#include "cli/CliCommands.h"
#include "cli/CliSession.h"
#include "cli/CliTexts.h"
#include "cli/RunReport.h"
#include "cli/StderrLines.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "profile/ApplyRun.h"
#include "profile/Profile.h"
#include "profile/ProfileGroups.h"

namespace plenar::cli {
namespace {

constexpr const char* kUsage =
    "apply PROFILE.ini [--set KEY=VALUE]... [--device NAME SERIAL] [--record FILE] [--force] "
    "[--record-dir DIR] [--verify] "
    "[--wait SECONDS] [--force-firmware] [--plan | --check]";

// How long an apply waits by default for another apply to the same printer to finish.
constexpr double kDefaultLockWaitSeconds = 5;

// --record names the file an apply replaces: a regular file or nothing yet. A device or a
// stream (/dev/stdout) would take ten documents and keep none.
std::string recordOption(const std::optional<std::string>& record) {
  if (!record) return {};
  if (record->empty()) {
    throw UsageError(say("--record needs a file name", "--record 需要文件名"), "option-value");
  }
  struct stat st {};
  if (::stat(record->c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    throw UsageError(say("--record %1: not a regular file", "--record %1：不是普通文件", {*record}),
                     "option-value");
  }
  return *record;
}

void printPlan(const Json& plan, bool withRecord) {
  std::printf("profile %s (sha256 %s)\n", plan["profile"]["path"].get<std::string>().c_str(),
              plan["profile"]["sha256"].get<std::string>().c_str());
  if (withRecord) {
    std::printf("record  %s (%s)\n", plan["record"]["path"].get<std::string>().c_str(),
                plan["record"]["existed"].get<bool>() ? "read" : "none: every group is sent");
  }
  int n = 0;
  for (const Json& s : plan["steps"]) {
    std::string what;
    if (s.contains("files")) {
      for (const Json& f : s["files"]) what += (what.empty() ? "" : ", ") + f.get<std::string>();
    } else {
      for (const Json& b : s["bytes"]) what += (what.empty() ? "" : " | ") + b.get<std::string>();
    }
    const char* change = !withRecord                     ? ""
                         : s["would_change"].get<bool>() ? "change   "
                                                         : "unchanged";
    std::printf("%3d  %-20s %-20s %s %s\n", ++n, s["group"].get<std::string>().c_str(),
                s["command"].get<std::string>().c_str(), change, what.c_str());
  }
  for (const Json& k : plan["ignored"]) {
    std::printf("ignored %s (line %d): %s\n", k["key"].get<std::string>().c_str(),
                k["line"].get<int>(), k["reason"].get<std::string>().c_str());
  }
  for (const Json& note : plan["notes"]) std::printf("note: %s\n", note.get<std::string>().c_str());
}

// plenar carries out each action to its end: a link test (the channels then as the connection
// window leaves them after a test that answered) or a group's request, with --events lines. The
// engine starts with the first action: a run with nothing to send never starts it.
ActionDriver::Execute sessionExecute(std::optional<CliSession>& started, const CommonOptions& o) {
  return [&started, &o](const RunAction& a, const ActionDriver::Done& done) {
    if (!started) started.emplace(o);
    CliSession& session = *started;
    RunOutcome outcome;
    const bool test = a.kind == RunAction::Kind::TestLink;
    if (!test) session.emitEvent({{"event", "step"}, {"group", a.group}, {"status", "start"}});
    printLine(LineLevel::Status, a.description);
    if (test) {
      session.setLink(a.link);
      outcome.ok =
          session.run(linkTestRequest(a.link)) == kExitDone && session.prepareChannelsOrReport();
      outcome.modelTag = session.modelTag();
    } else {
      outcome.ok = session.run(a.request) == kExitDone;
    }
    if (!outcome.ok) outcome = session.lastResult();
    if (!test) {
      session.emitEvent(
          {{"event", "step"}, {"group", a.group}, {"status", outcome.ok ? "done" : "failed"}});
    }
    done(outcome);
  };
}

// The lock wait of --wait: seconds from 0 to 86400.
double waitOption(const std::optional<std::string>& w) {
  if (!w) return kDefaultLockWaitSeconds;
  char* end = nullptr;
  const double wait = std::strtod(w->c_str(), &end);
  if (w->empty() || *end != '\0' || !std::isfinite(wait) || wait < 0 || wait > 86400) {
    throw UsageError(say("--wait takes seconds from 0 to 86400, not '%1'",
                         "--wait 取 0 到 86400 秒，不能是“%1”", {*w}),
                     "option-value");
  }
  return wait;
}

// The record an apply reads and replaces: --record, else the link's own in the state folder
// (or of the same name in --record-dir: one record per printer link).
// `named`: the user chose the file or its folder, where a file that is no record is refused.
std::string recordPathOption(const CommonOptions& o, ArgList& args, bool& named) {
  const std::string record = recordOption(args.takeOption("--record"));
  const auto recordDir = args.takeOption("--record-dir");
  if (recordDir && (recordDir->empty() || !record.empty())) {
    throw UsageError(say("--record-dir takes a folder, and not with --record",
                         "--record-dir 需要文件夹，且不能与 --record 同用"),
                     "option-value");
  }
  named = !record.empty() || recordDir;
  const std::string path = record.empty() ? defaultRecordPath(o.paths.stateDir, o.link) : record;
  if (!recordDir) return path;
  return pathIn(*recordDir, std::filesystem::path(path).filename().string());
}

// An error of the run as an exit code: a record file that cannot be replaced is an output that
// cannot be created; a program for another model, like every input a check refuses, is the
// data's fault.
int applyExitCode(const ApplyError& e) {
  if (e.code == "record-foreign") return kExitCantCreate;
  return e.kind == FailureKind::Refused ? kExitRefused : kExitFailed;
}

// What became of the run: its document, the notes and error on stderr, a summary on stdout.
int reportApply(const CommonOptions& o, const ApplyRun& run) {
  if (!run.modelTag().empty()) o.report->setModelTag(run.modelTag());
  Json result = applyResultJson(run);
  for (const Json& note : result["notes"]) {
    printLine(LineLevel::Note, "note: " + note.get<std::string>());
  }
  o.report->clearError();
  if (!result["link_used"].is_null()) o.report->setLink(*linkFromJson(result["link_used"]));
  if (const auto& e = run.error()) {
    o.report->setError(e->kind, e->message, e->detail, e->group, 0, e->code);
    printLine(LineLevel::Error, e->message);
  }
  if (!o.json) {
    int done = 0, skipped = 0;
    for (const ApplyRun::StepReport& s : run.steps()) {
      done += s.status == ApplyRun::StepStatus::Done;
      skipped += s.status == ApplyRun::StepStatus::Skipped;
    }
    std::printf("%s: %d group(s) sent, %d unchanged%s\n",
                run.error() ? "failed" : (run.changed() ? "changed" : "unchanged"), done, skipped,
                result["state_known"].get<bool>() ? "" : " (no record: state was unknown)");
    if (!result["link_after"].is_null()) {
      std::printf("link after: %s\n", describeLink(*linkFromJson(result["link_after"])).c_str());
    }
  }
  o.report->result() = std::move(result);
  return run.error() ? applyExitCode(*run.error()) : kExitDone;
}

int applyCommand(const CommonOptions& o, ArgList& args) {
  const bool plan = args.takeFlag("--plan");
  const bool check = args.takeFlag("--check");
  ApplyOptions options;
  options.link = o.link;
  options.stateDir = o.paths.stateDir;
  options.force = args.takeFlag("--force");
  options.verify = args.takeFlag("--verify");
  options.forceFirmware = args.takeFlag("--force-firmware");
  options.recordPath = recordPathOption(o, args, options.recordNamed);
  const double wait = waitOption(args.takeOption("--wait"));
  std::optional<DeviceIdentity> device;
  if (auto d = args.takeOptionPair("--device")) device = DeviceIdentity{d->first, d->second};
  std::vector<std::string> overrides;
  while (auto set = args.takeOption("--set")) overrides.push_back(*set);
  const auto p = args.expect(1, kUsage);
  if (plan && check) {
    throw UsageError(say("--plan and --check: choose one", "--plan 与 --check 只能选一个"),
                     "conflicting-options");
  }
  if (!plan && !check) options.lockWaitSeconds = wait;

  Profile profile = loadProfile(p[0]);
  applySettingOverrides(profile, overrides);
  ProfileGroups groups = buildProfileGroups(profile, profileVocabulary(o.paths), device);
  ApplyRun run(profile, std::move(groups), options);
  if ((plan || check) && run.error()) {
    const auto& e = *run.error();
    o.report->setError(e.kind, e.message, e.detail, e.group, 0, e.code);
    printLine(LineLevel::Error, e.message);
    return e.code == "record-foreign" ? kExitCantCreate : kExitFailed;
  }
  if (plan || check) {
    // Nothing is sent: the plan, and with --check what the record says would change.
    Json result = applyPlanJson(run, check);
    if (!o.json) printPlan(result, check);
    o.report->result() = std::move(result);
    return kExitDone;
  }
  // With a record that matches every group nothing is sent, and the engine is not even started.
  std::optional<CliSession> session;
  driveToEnd(run, sessionExecute(session, o), sleepThen);
  session.reset();
  return reportApply(o, run);
}

}  // namespace

void addApplyCommand(std::vector<CliCommand>& out) {
  out.push_back(
      {"apply",
       kUsage,
       {"make the printer match a profile; sends only the groups that differ from the "
        "record of the last apply (--plan, --check: send nothing)",
        "使打印机与配置文件一致；只发送与上次 apply 的记录不同的组（--plan、--check：不发送）"},
       true,
       applyCommand});
}

}  // namespace plenar::cli
