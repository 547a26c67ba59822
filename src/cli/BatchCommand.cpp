// SPDX-License-Identifier: GPL-3.0-or-later
// plenar batch: the workshop bench. Printer after printer arrives, gets the profile and its own
// name and serial number, and is reported; then the bench waits for the next one.

#include <cstdio>
#include <filesystem>
#include <thread>

#include "app/ActionDriver.h"
#include "app/Language.h"
#include "app/MainDefault.h"
#include "cli/BatchArrivals.h"
#include "cli/CliCommands.h"
#include "cli/CliSession.h"
#include "cli/CliTexts.h"
#include "cli/RunReport.h"
#include "cli/StderrLines.h"
#include "cli/UsbArrivalWatch.h"
#include "engine/TCommThread.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "platform/TerminationSignals.h"
#include "profile/BatchRun.h"

namespace plenar::cli {
namespace {

constexpr const char* kUsage =
    "batch PROFILE.ini --name PATTERN [--serial-from N] [--step K] [--serial-glob GLOB] "
    "[--usb-watch] [--usb-filter TEXT]... [--state FILE] [--report FILE] [--count N] "
    "[--reuse-failed] [--present] [--set KEY=VALUE]...";

// Between two looks for a printer: short enough that Ctrl-C ends the bench at once.
constexpr std::chrono::milliseconds kLookEvery{40};

bool stopAsked() {
  return terminationSignal() != 0;
}

std::string stopReason() {
  return "stopped by " + signalName(terminationSignal());
}

// Carries out one link test or send of the bench on the session.
RunOutcome carryOut(CliSession& session, RunAction a) {
  RunOutcome outcome;
  printLine(LineLevel::Status, a.description);
  if (a.kind == RunAction::Kind::TestLink) {
    session.setLink(a.link);
    CommandRequest test;
    test.code = kLinkTestCode;
    outcome.ok = session.run(std::move(test)) == kExitDone;
    if (outcome.ok && !session.prepareChannelsOrReport()) outcome.ok = false;
    outcome.modelTag = session.modelTag();
  } else {
    session.emitEvent({{"event", "step"}, {"group", a.group}, {"status", "start"}});
    session.setLink(a.link);
    outcome.ok = session.run(std::move(a.request)) == kExitDone;
    session.emitEvent(
        {{"event", "step"}, {"group", a.group}, {"status", outcome.ok ? "done" : "failed"}});
  }
  if (!outcome.ok) outcome = session.lastResult();
  return outcome;
}

Json lineJson(const BatchPrinter& p) {
  Json j = Json::parse(batchLineJson(p.line));
  j["ms"] = p.ms;
  j["earlier_run"] = p.earlierRun;
  return j;
}

void announce(const CommonOptions& o, CliSession& session, const BatchPrinter& p) {
  session.emitEvent({{"event", "printer"}, {"printer", lineJson(p)}});
  if (o.json) return;
  std::string what = std::string(batchOutcomeWord(p.line.outcome)) + " " + p.line.serial + " '" +
                     p.line.name + "'";
  if (!p.line.link.empty()) what += " on " + p.line.link;
  if (p.line.outcome == BatchOutcome::Done) {
    what += " (" + std::to_string(p.line.groupsDone) + " groups, " + std::to_string(p.ms) + " ms)";
  } else {
    if (!p.line.step.empty()) what += " at " + p.line.step;
    if (!p.line.error.empty()) what += ": " + p.line.error;
  }
  std::printf("%s\n", what.c_str());
  std::fflush(stdout);
}

// The bench's counter, record folder, report and numbering from its options.
BatchOptions batchOptions(const CommonOptions& o, const std::optional<std::string>& state,
                          const std::optional<std::string>& reportPath,
                          const std::optional<std::string>& from, long long step,
                          std::optional<long long> count, bool reuseFailed,
                          const std::string& namePattern) {
  BatchOptions options;
  options.statePath = state ? *state : pathIn(pathIn(o.paths.stateDir, "batch"), "state.json");
  if (!from && !std::filesystem::exists(options.statePath)) {
    throw UsageError(
        say("batch needs --serial-from N to start %1 (the file keeps the counter "
            "from then on)",
            "batch 需要 --serial-from N 来新建 %1（此后计数保存在该文件中）", {options.statePath}),
        "missing-argument");
  }
  const std::filesystem::path statePath(options.statePath);
  options.recordDir = (statePath.parent_path() / (statePath.stem().string() + ".records")).string();
  options.stateDir = o.paths.stateDir;
  options.reportPath = reportPath.value_or("");
  options.count = count;
  options.reuseFailed = reuseFailed;
  options.link = o.link;
  try {
    options.name = NamePattern::parse(namePattern);
    options.numbering = parseNumbering(from.value_or("0"), step);
    options.firstGiven = from.has_value();
  } catch (const BatchError& e) {
    throw InputRefused(e.what(), e.kind(), e.field(), e.code());
  }
  return options;
}

// A counter that cannot be written fails the run (exit 1, kind file), as apply fails a record it
// cannot write; the rest as any refusal.
int batchExitCode(const BatchError& e) {
  if (e.code() == "batch-state-unwritable") return kExitFailed;
  return exitCodeOfError(e.kind(), e.code());
}

// Why --reuse-failed leaves a failed number alone: its printer holds it or may.
std::string keptBack(const BatchCounter& counter, const BatchCounter::Entry& e) {
  const std::string on = e.link.empty() ? "" : " on " + e.link;
  switch (e.device) {
    case BatchCounter::Device::Acknowledged:
      return "the printer" + on + " holds it (its device group was acknowledged)";
    case BatchCounter::Device::Sent:
      return "the printer" + on + " may hold it (its device group was sent, not acknowledged)";
    case BatchCounter::Device::Unknown:
      return "the state does not say whether its printer" + on + " took it";
    case BatchCounter::Device::NotSent:
      break;
  }
  return counter.reusable(e) ? std::string() : "its record folder holds a record of it";
}

// Numbers the bench will not hand out: those an earlier run left reserved, and with
// --reuse-failed, the failed ones a printer holds or may hold.
void noteNumbersKept(const BatchRun& run, bool reuseFailed) {
  for (const BatchPrinter& earlier : run.printers()) {
    printLine(LineLevel::Note, "note: serial number " + earlier.line.serial +
                                   " was reserved by a run that ended part-way: it is not "
                                   "handed out again");
  }
  for (const BatchCounter::Entry& e : run.counter().entries()) {
    if (!reuseFailed || e.outcome != BatchCounter::Outcome::Failed) continue;
    const std::string why = keptBack(run.counter(), e);
    if (why.empty()) continue;
    printLine(LineLevel::Note, "note: serial number " + e.serial + " failed, but " + why +
                                   ": it is not handed out again");
  }
}

// The result document, the summary on stderr and the exit code.
int reportBatch(const CommonOptions& o, const BatchRun& run, const BatchOptions& options) {
  Json printers = Json::array();
  for (const BatchPrinter& printer : run.printers()) printers.push_back(lineJson(printer));
  const auto next = run.counter().peekNext();
  Json result;
  std::string counts;
  for (const BatchOutcome outcome : kBatchOutcomes) {
    result[batchOutcomeWord(outcome)] = run.count(outcome);
    counts += (counts.empty() ? "" : ", ") + std::to_string(run.count(outcome)) + " " +
              batchOutcomeWord(outcome);
  }
  result["state"] = options.statePath;
  result["report"] = options.reportPath.empty() ? Json() : Json(options.reportPath);
  result["next_serial"] = next ? Json(serialText(*next, run.counter().numbering().width)) : Json();
  result["printers"] = std::move(printers);
  printLine(LineLevel::Note, "batch: " + counts);
  o.report->result() = std::move(result);
  if (const auto& e = run.error()) {
    o.report->setError(e->kind(), e->what(), {}, {}, 0, e->code());
    printLine(LineLevel::Error, e->what());
    return batchExitCode(*e);
  }
  const int notSetUp = run.count(BatchOutcome::Failed) + run.count(BatchOutcome::Interrupted);
  if (notSetUp > 0) {
    o.report->setError(FailureKind::Printer, std::to_string(notSetUp) + " printer(s) not set up");
    return kExitFailed;
  }
  return kExitDone;
}

// plenar's side of the bench: arrivals and departures from `watch` (or the printers attached at
// the start, with --present), requests on a session, each carried out to its end; a stop signal
// ends the bench where it is.
class CliBench {
 public:
  CliBench(const CommonOptions& o, BatchRun& run, ArrivalWatch& watch,
           std::vector<LinkSnapshot> queue, bool present, bool usb)
      : o_(o),
        run_(run),
        watch_(watch),
        queue_(std::move(queue)),
        present_(present),
        usb_(usb),
        session_(std::make_unique<CliSession>(o)),
        announced_(run.printers().size()) {}

  void drive() {
    ActionDriver::Hooks hooks;
    hooks.starting = [this](const RunAction&) { announceFinished(); };
    hooks.finished = [this] { announceFinished(); };
    hooks.arrival = [this](const RunAction& a, const ActionDriver::Arrived& done) {
      done(awaitArrival(a));
    };
    hooks.departure = [this](const RunAction& a, const ActionDriver::Departed& done) {
      done(awaitDeparture(a));
    };
    driveToEnd(
        run_, [this](const RunAction& a, const ActionDriver::Done& done) { done(execute(a)); },
        sleepThen, std::move(hooks));
  }

 private:
  // A stop signal ends the bench: false once it came (the run is stopped).
  bool goOn() {
    if (!stopAsked()) return true;
    run_.stop(stopReason());
    return false;
  }

  // A printer's line goes out as soon as it is finished, before the bench waits for it to go.
  void announceFinished() {
    for (; announced_ < run_.printers().size(); ++announced_) {
      announce(o_, *session_, run_.printers()[announced_]);
    }
  }

  std::optional<LinkSnapshot> awaitArrival(const RunAction& a) {
    if (!goOn()) return std::nullopt;
    std::optional<LinkSnapshot> arrived;
    if (present_) {
      if (queue_.empty()) {
        run_.stop("every attached printer was handled");
        return std::nullopt;
      }
      arrived = queue_.front();
      queue_.erase(queue_.begin());
    } else {
      printLine(LineLevel::Status, a.description);
      while (goOn() && !(arrived = watch_.arrival())) std::this_thread::sleep_for(kLookEvery);
      arrivedOn_ = arrived;
    }
    // A USB printer gets a session of its own, made once it has arrived: a session's USB channel
    // closes on every USB arrival, and the arrival of the very printer it is to set up would
    // otherwise close its link in the middle of the link test.
    if (arrived && usb_) session_ = std::make_unique<CliSession>(o_);
    return arrived;
  }

  bool awaitDeparture(const RunAction& a) {
    if (!present_) {
      printLine(LineLevel::Status, a.description);
      while (!stopAsked() && !watch_.gone(a.link)) std::this_thread::sleep_for(kLookEvery);
    }
    return goOn();
  }

  RunOutcome execute(const RunAction& a) {
    RunOutcome outcome;
    if (!goOn()) return outcome;
    if (!present_ && arrivedOn_ && watch_.replaced(*arrivedOn_)) {
      // Its port went away or is another printer's now: nothing more goes out to it.
      outcome.message = "the printer was taken away part-way (" + describeLink(*arrivedOn_) + ")";
      outcome.kind = FailureKind::Link;
      return outcome;
    }
    outcome = carryOut(*session_, a);
    // A stop during the request: the printer is reported interrupted, not failed (the run
    // takes no outcome once stopped).
    goOn();
    return outcome;
  }

  const CommonOptions& o_;
  BatchRun& run_;
  ArrivalWatch& watch_;
  std::vector<LinkSnapshot> queue_;
  const bool present_;
  const bool usb_;
  std::unique_ptr<CliSession> session_;
  std::size_t announced_;
  std::optional<LinkSnapshot> arrivedOn_;  // the printer being set up
};

int batchCommand(const CommonOptions& o, ArgList& args) {
  const auto glob = args.takeOption("--serial-glob");
  const auto namePattern = args.takeOption("--name");
  const auto from = args.takeOption("--serial-from");
  const long long step = args.takeInt("--step", -1000000000, 1000000000).value_or(1);
  const auto state = args.takeOption("--state");
  const auto reportPath = args.takeOption("--report");
  const auto count = args.takeInt("--count", 1, 1000000000);
  const bool reuseFailed = args.takeFlag("--reuse-failed");
  const bool present = args.takeFlag("--present");
  std::vector<std::string> overrides;
  while (auto set = args.takeOption("--set")) overrides.push_back(*set);
  std::vector<std::string> usbFilters;
  while (auto f = args.takeOption("--usb-filter")) usbFilters.push_back(*f);
  const bool usb = args.takeFlag("--usb-watch") || !usbFilters.empty();
  const auto p = args.expect(1, kUsage);

  const bool net = o.linkGiven && o.link.kind == LinkKind::Network;
  if ((o.linkGiven && !net) || int(net) + int(bool(glob)) + int(usb) != 1) {
    throw UsageError(say("batch watches one kind of link: --net ADDR (the factory address), "
                         "--serial-glob GLOB or --usb-watch",
                         "batch 只监视一种连接：--net ADDR（出厂地址）、--serial-glob GLOB 或 "
                         "--usb-watch"),
                     "conflicting-options");
  }
  // USB printers are those the connection window lists: the filter texts of sysconfig.ini when
  // none are given (and without those, the ones with 811E).
  if (usb && usbFilters.empty()) {
    usbFilters = readMainDefault(IniFile(o.paths.settingsFile())).usbFilterList;
  }
  if (!namePattern)
    throw UsageError(say("batch needs --name PATTERN (e.g. \"Till {n}\")",
                         "batch 需要 --name PATTERN（例如 \"Till {n}\"）"),
                     "missing-argument");
  if (state && state->empty()) {
    throw UsageError(say("--state needs a file name", "--state 需要文件名"), "option-value");
  }
  if (reportPath && reportPath->empty()) {
    throw UsageError(say("--report needs a file name", "--report 需要文件名"), "option-value");
  }

  const BatchOptions options =
      batchOptions(o, state, reportPath, from, step, count, reuseFailed, *namePattern);

  Profile profile = loadProfile(p[0]);
  applySettingOverrides(profile, overrides);
  ProfileGroups groups = buildProfileGroups(profile, profileVocabulary(o.paths), std::nullopt);

  std::unique_ptr<BatchRun> run;
  try {
    run = std::make_unique<BatchRun>(profile, std::move(groups), options);
  } catch (const BatchError& e) {
    if (batchExitCode(e) != kExitFailed) {
      throw InputRefused(e.what(), e.kind(), e.field(), e.code());
    }
    o.report->setError(e.kind(), e.what(), {}, {}, 0, e.code());
    printLine(LineLevel::Error, e.what());
    return kExitFailed;
  }
  std::unique_ptr<ArrivalWatch> watch = usb   ? usbArrivalWatch(usbFilters)
                                        : net ? factoryAddressWatch(o.link)
                                              : serialGlobWatch(*glob, o.link);
  noteNumbersKept(*run, reuseFailed);
  std::vector<LinkSnapshot> queue;
  if (present) {
    queue = watch->attachedNow();
  } else if (!watch->attachedNow().empty()) {
    // It may be the last one of an earlier run, already set up: only --present takes it.
    printLine(LineLevel::Note,
              "note: a printer is attached already; it is left alone (--present sets up the "
              "printers attached now): waiting for the next one to arrive");
  }
  const auto next = run->counter().peekNext();
  printLine(LineLevel::Status,
            "batch: serial numbers from " +
                (next ? serialText(*next, run->counter().numbering().width) : "(used up)") +
                ", state " + options.statePath);

  CliBench(o, *run, *watch, std::move(queue), present, usb).drive();
  return reportBatch(o, *run, options);
}

}  // namespace

void addBatchCommand(std::vector<CliCommand>& out) {
  out.push_back(
      {"batch",
       kUsage,
       {"set up printer after printer as they arrive on the network's factory address, on "
        "matching serial ports or by USB: the profile plus each printer's own name and "
        "serial number",
        "依次设置到达网络出厂地址、匹配串口或 USB "
        "的打印机：配置文件，加上每台打印机自己的名称和序列号"},
       false,
       batchCommand});
}

}  // namespace plenar::cli
