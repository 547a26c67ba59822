// SPDX-License-Identifier: GPL-3.0-or-later
// plenar batch: the workshop bench. Printer after printer arrives, gets the profile and its own
// name and serial number, and is reported; then the bench waits for the next one.

#include <cstdio>
#include <filesystem>
#include <thread>

#include "app/Language.h"
#include "app/MainDefault.h"
#include "cli/BatchArrivals.h"
#include "cli/CliCommands.h"
#include "cli/CliSession.h"
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
ApplyRun::Outcome carryOut(CliSession& session, BatchRun::Action& a) {
  ApplyRun::Outcome outcome;
  printLine(LineLevel::Status, a.description);
  if (a.kind == BatchRun::Action::Kind::TestLink) {
    session.setLink(a.link);
    CommandRequest test;
    test.code = 1;
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
  if (!outcome.ok) {
    const CliSession::Failure& f = session.lastFailure();
    outcome.message = f.message;
    outcome.detail = f.detail;
    outcome.kind = f.kind;
  }
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
  std::string what = p.line.outcome + " " + p.line.serial + " '" + p.line.name + "'";
  if (!p.line.link.empty()) what += " on " + p.line.link;
  if (p.line.outcome == "done") {
    what += " (" + std::to_string(p.line.groupsDone) + " groups, " + std::to_string(p.ms) + " ms)";
  } else {
    if (!p.line.step.empty()) what += " at " + p.line.step;
    if (!p.line.error.empty()) what += ": " + p.line.error;
  }
  std::printf("%s\n", what.c_str());
  std::fflush(stdout);
}

// The option a refusal at the start is about, for the --json error.
std::string batchField(const BatchError& e) {
  const std::string& code = e.code();
  if (code == "step") return "--step";
  if (code == "serial-from") return "--serial-from";
  if (code == "batch-records-ahead" && e.kind() == FailureKind::Refused) return "--serial-from";
  if (code == "batch-report") return "--report";
  if (code == "batch-busy" || code.rfind("batch-state", 0) == 0 || code == "batch-records-ahead")
    return "--state";
  return "--name";
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
    throw UsageError("batch needs --serial-from N to start " + options.statePath +
                         " (the file keeps the counter from then on)",
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
  } catch (const BatchError& e) {
    throw InputRefused(e.what(), e.kind(), batchField(e), e.code());
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

// The result document, the summary on stderr and the exit code.
int reportBatch(const CommonOptions& o, const BatchRun& run, const BatchOptions& options) {
  Json printers = Json::array();
  int interrupted = 0;
  for (const BatchPrinter& printer : run.printers()) {
    printers.push_back(lineJson(printer));
    interrupted += !printer.earlierRun && printer.line.outcome == "interrupted";
  }
  const auto next = run.counter().peekNext();
  Json result;
  result["done"] = run.doneCount();
  result["failed"] = run.failedCount() - interrupted;
  result["interrupted"] = interrupted;
  result["state"] = options.statePath;
  result["report"] = options.reportPath.empty() ? Json() : Json(options.reportPath);
  result["next_serial"] = next ? Json(serialText(*next, run.counter().numbering().width)) : Json();
  result["printers"] = std::move(printers);
  printLine(LineLevel::Note, "batch: " + std::to_string(run.doneCount()) + " done, " +
                                std::to_string(run.failedCount() - interrupted) + " failed, " +
                                std::to_string(interrupted) + " interrupted");
  o.report->result() = std::move(result);
  if (const auto& e = run.error()) {
    o.report->setError(e->kind(), e->what(), {}, {}, 0, e->code());
    printLine(LineLevel::Error, e->what());
    return batchExitCode(*e);
  }
  if (run.failedCount() > 0) {
    o.report->setError(FailureKind::Printer,
                       std::to_string(run.failedCount()) + " printer(s) not set up");
    return kExitFailed;
  }
  return kExitDone;
}

// Printer after printer until the run is done: arrivals and departures from `watch` (or the
// printers attached at the start, with --present), requests on a session.
void runBench(const CommonOptions& o, BatchRun& run, ArrivalWatch& watch,
              std::vector<LinkSnapshot> queue, bool present, bool usb) {
  // A USB printer gets a session of its own, made once it has arrived: a session's USB channel
  // closes on every USB arrival, and the arrival of the very printer it is to set up would
  // otherwise close its link in the middle of the link test.
  auto session = std::make_unique<CliSession>(o);
  std::size_t announced = run.printers().size();
  // A printer's line goes out as soon as it is finished, before the bench waits for it to go.
  const auto announceFinished = [&] {
    for (; announced < run.printers().size(); ++announced) {
      announce(o, *session, run.printers()[announced]);
    }
  };
  std::optional<LinkSnapshot> arrivedOn;  // the printer being set up
  for (BatchRun::Action a = run.next(); a.kind != BatchRun::Action::Kind::Done; a = run.next()) {
    using K = BatchRun::Action::Kind;
    announceFinished();
    if (stopAsked()) {
      run.stop(stopReason());
    } else if (a.kind == K::AwaitArrival) {
      if (present) {
        if (queue.empty()) {
          run.stop("every attached printer was handled");
        } else {
          if (usb) session = std::make_unique<CliSession>(o);
          run.arrived(queue.front());
          queue.erase(queue.begin());
        }
      } else {
        printLine(LineLevel::Status, a.description);
        std::optional<LinkSnapshot> arrived;
        while (!stopAsked() && !(arrived = watch.arrival()))
          std::this_thread::sleep_for(kLookEvery);
        if (arrived && usb) session = std::make_unique<CliSession>(o);
        arrivedOn = arrived;
        if (arrived) run.arrived(*arrived);
      }
    } else if (a.kind == K::AwaitDeparture) {
      if (!present) {
        printLine(LineLevel::Status, a.description);
        while (!stopAsked() && !watch.gone(a.link)) std::this_thread::sleep_for(kLookEvery);
      }
      if (!stopAsked()) run.departed();
    } else if (!present && arrivedOn && watch.replaced(*arrivedOn)) {
      // Its port went away or is another printer's now: nothing more goes out to it.
      ApplyRun::Outcome outcome;
      outcome.message = "the printer was taken away part-way (" + describeLink(*arrivedOn) + ")";
      outcome.kind = FailureKind::Link;
      run.report(outcome);
    } else {
      ApplyRun::Outcome outcome = carryOut(*session, a);
      // A stop during the request: the printer is reported interrupted, not failed.
      if (stopAsked()) {
        run.stop(stopReason());
      } else {
        run.report(outcome);
      }
    }
    announceFinished();
  }
  announceFinished();
}

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
    throw UsageError(
        "batch watches one kind of link: --net ADDR (the factory address), "
        "--serial-glob GLOB or --usb-watch",
        "conflicting-options");
  }
  // USB printers are those the connection window lists: the filter texts of sysconfig.ini when
  // none are given (and without those, the ones with 811E).
  if (usb && usbFilters.empty()) {
    usbFilters = readMainDefault(IniFile(o.paths.settingsFile())).usbFilterList;
  }
  if (!namePattern)
    throw UsageError("batch needs --name PATTERN (e.g. \"Till {n}\")", "missing-argument");
  if (state && state->empty()) throw UsageError("--state needs a file name", "option-value");
  if (reportPath && reportPath->empty())
    throw UsageError("--report needs a file name", "option-value");

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
      throw InputRefused(e.what(), e.kind(), batchField(e), e.code());
    }
    o.report->setError(e.kind(), e.what(), {}, {}, 0, e.code());
    printLine(LineLevel::Error, e.what());
    return kExitFailed;
  }
  std::unique_ptr<ArrivalWatch> watch = usb   ? usbArrivalWatch(usbFilters)
                                        : net ? factoryAddressWatch(o.link)
                                              : serialGlobWatch(*glob, o.link);
  for (const BatchPrinter& earlier : run->printers()) {
    printLine(LineLevel::Note, "note: serial number " + earlier.line.serial +
                                   " was reserved by a run that ended part-way: it is not "
                                   "handed out again");
  }
  for (const BatchCounter::Entry& e : run->counter().entries()) {
    if (!reuseFailed || e.outcome != BatchCounter::Outcome::Failed) continue;
    const std::string why = keptBack(run->counter(), e);
    if (why.empty()) continue;
    printLine(LineLevel::Note, "note: serial number " + e.serial + " failed, but " + why +
                                   ": it is not handed out again");
  }
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

  runBench(o, *run, *watch, std::move(queue), present, usb);
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
