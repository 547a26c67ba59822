// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/BatchRun.h"

#include <algorithm>

#include "platform/ProgramPaths.h"
#include "profile/ApplyRecord.h"

namespace plenar {
namespace {

constexpr const char* kLinkTestStep = "link test";
// The group deviceGroup() makes: the printer's name and serial number.
constexpr const char* kDeviceGroup = "device";

}  // namespace

BatchRun::BatchRun(const Profile& profile, ProfileGroups groups, BatchOptions options)
    : profile_(profile), groups_(std::move(groups)), options_(std::move(options)) {
  counter_.emplace(BatchCounter::open(options_.statePath, options_.numbering, options_.recordDir,
                                      options_.firstGiven));
  const BatchNumbering& n = counter_->numbering();
  const auto first = counter_->peekNext();
  if (!first) {
    throw BatchError(FailureKind::Refused,
                     "batch state " + options_.statePath + ": every serial number is used up",
                     "batch-numbers-used-up");
  }
  checkFits(*first);
  if (options_.count && *options_.count > 1) {
    const auto last = stepped(*first, n.step, *options_.count - 1);
    if (!last) {
      throw BatchError(FailureKind::Refused,
                       "--count " + std::to_string(*options_.count) + " printers from " +
                           serialText(*first, n.width) +
                           " would take the serial number out of 0 .. 999999999999999999",
                       "batch-numbers-used-up");
    }
    checkFits(*last);
  }
  if (!options_.reportPath.empty()) report_ = BatchReportFile(options_.reportPath);
  for (const BatchCounter::Entry& e : counter_->foundInterrupted()) {
    BatchPrinter p;
    p.earlierRun = true;
    p.line.time = utcTimestamp();
    p.line.name = e.name;
    p.line.serial = e.serial;
    p.line.outcome = BatchOutcome::Interrupted;
    p.line.deviceGroup = batchDeviceName(e.device);
    p.line.error = "an earlier run ended while this printer was set up (reserved " + e.time +
                   "); its number is not handed out again";
    writeLine(p);
    printers_.push_back(std::move(p));
  }
}

BatchRun::~BatchRun() = default;

void BatchRun::checkFits(long long number) const {
  const std::string serial = serialText(number, counter_->numbering().width);
  if (auto refusal = deviceFieldsRefusal(options_.name.format(number), serial)) {
    throw BatchError(
        FailureKind::Refused,
        "--name '" + options_.name.text() + "' with serial number " + serial + ": " + *refusal,
        "batch-name-too-long");
  }
}

int BatchRun::count(BatchOutcome outcome) const {
  return static_cast<int>(std::count_if(
      printers_.begin(), printers_.end(),
      [outcome](const auto& p) { return !p.earlierRun && p.line.outcome == outcome; }));
}

void BatchRun::fail(const BatchError& e) {
  if (!error_) error_ = e;
  phase_ = Phase::Done;
}

RunAction BatchRun::next() {
  RunAction a;
  switch (phase_) {
    case Phase::Waiting:
      if (options_.count && handled_ >= *options_.count) {
        phase_ = Phase::Done;
        return a;
      }
      a.kind = RunAction::Kind::AwaitArrival;
      a.link = options_.link;
      a.description = "waiting for printer " + std::to_string(handled_ + 1);
      return a;
    case Phase::Applying: {
      a = apply_->next();
      if (a.kind == RunAction::Kind::Done) {
        if (const auto& e = apply_->error()) {
          finishPrinter(BatchOutcome::Failed, e->message);
        } else {
          finishPrinter(BatchOutcome::Done, {});
        }
        return next();
      }
      current_->line.step = a.kind == RunAction::Kind::Send ? a.group : kLinkTestStep;
      // A printer of the bench moves only itself: the window keeps the factory link.
      a.request.windowFollows = false;
      a.description = current_->line.serial + " " + current_->line.name + ": " + a.description;
      return a;
    }
    case Phase::Leaving:
      // The last printer of a count is not waited for.
      if (options_.count && handled_ >= *options_.count) {
        phase_ = Phase::Done;
        return a;
      }
      a.kind = RunAction::Kind::AwaitDeparture;
      a.link = leaving_;
      a.description = "waiting for " + current_->line.serial + " to be taken away";
      return a;
    case Phase::Done:
      return a;
  }
  return a;
}

void BatchRun::arrived(const LinkSnapshot& link) {
  if (phase_ != Phase::Waiting) return;
  std::optional<BatchCounter::Entry> entry;
  try {
    // A failed number handed out again is checked too: this run's pattern may not be the one
    // it was first named with.
    if (auto number = counter_->nextToHandOut(options_.reuseFailed)) checkFits(*number);
    // Written before anything goes out to the printer.
    entry = counter_->reserve(options_.reuseFailed, options_.name, describeLink(link));
  } catch (const BatchError& e) {
    fail(e);
    return;
  }
  if (!entry) {
    fail(BatchError(FailureKind::Refused, "every serial number of the counter is used up",
                    "batch-numbers-used-up"));
    return;
  }
  BatchPrinter p;
  p.link = link;
  p.line.link = describeLink(link);
  p.line.name = options_.name.format(entry->number);
  p.line.serial = entry->serial;
  p.line.step = kLinkTestStep;
  current_ = std::move(p);
  arrivedAt_ = std::chrono::steady_clock::now();
  phase_ = Phase::Applying;

  ApplyOptions o;
  o.link = link;
  o.recordPath = pathIn(options_.recordDir, batchRecordName(entry->serial));
  o.stateDir = options_.stateDir;
  o.force = true;
  o.lockWaitSeconds = options_.lockWaitSeconds;
  try {
    ProfileGroups groups = groups_;
    groups.groups.push_back(deviceGroup({current_->line.name, current_->line.serial}));
    apply_ = std::make_unique<ApplyRun>(profile_, std::move(groups), o);
  } catch (const std::exception& e) {
    // The apply never started: nothing was sent, and the number stays used (failed).
    apply_.reset();
    finishPrinter(BatchOutcome::Failed, e.what());
  }
}

void BatchRun::report(const RunOutcome& outcome) {
  if (phase_ == Phase::Applying && apply_) apply_->report(outcome);
}

void BatchRun::departed() {
  if (phase_ != Phase::Leaving) return;
  current_.reset();
  phase_ = Phase::Waiting;
}

void BatchRun::stop(const std::string& why) {
  if (phase_ == Phase::Applying) {
    finishPrinter(BatchOutcome::Interrupted, why);
  }
  phase_ = Phase::Done;
  current_.reset();
}

// What became of the device group (the name and serial number) of the printer being set up.
BatchCounter::Device BatchRun::deviceGroupState() const {
  using D = BatchCounter::Device;
  if (!apply_) return D::NotSent;
  for (const ApplyRun::StepReport& s : apply_->steps()) {
    if (s.group == nullptr || s.group->name != kDeviceGroup) continue;
    switch (s.status) {
      case ApplyRun::StepStatus::Done:
        return D::Acknowledged;
      case ApplyRun::StepStatus::Failed:
        return D::Sent;
      case ApplyRun::StepStatus::NotRun:
      case ApplyRun::StepStatus::Skipped:
        // Stopped while it was out: no answer came, yet the printer may have taken it.
        return current_->line.step == kDeviceGroup ? D::Sent : D::NotSent;
    }
  }
  return D::NotSent;
}

void BatchRun::finishPrinter(BatchOutcome outcome, const std::string& why) {
  BatchPrinter& p = *current_;
  const BatchCounter::Device device = deviceGroupState();
  p.line.time = utcTimestamp();
  p.line.outcome = outcome;
  p.line.error = why;
  p.line.deviceGroup = batchDeviceName(device);
  if (outcome != BatchOutcome::Done && device != BatchCounter::Device::NotSent) {
    // The number stays with this printer: the report says which one holds it.
    p.line.error +=
        std::string(p.line.error.empty() ? "" : "; ") + "the printer " +
        (device == BatchCounter::Device::Acknowledged ? "holds" : "may hold") + " serial number " +
        p.line.serial + " and name '" + p.line.name + "' (its device group was " +
        (device == BatchCounter::Device::Acknowledged ? "acknowledged" : "sent, not acknowledged") +
        "): the number is not handed out again";
  }
  if (outcome == BatchOutcome::Done) p.line.step.clear();
  if (apply_) {
    p.line.modelTag = apply_->modelTag();
    for (const ApplyRun::StepReport& s : apply_->steps()) {
      p.line.groupsDone += s.status == ApplyRun::StepStatus::Done;
    }
    if (const auto& e = apply_->error(); e && !e->group.empty()) p.line.step = e->group;
    leaving_ = apply_->linkAfter().value_or(apply_->linkUsed().value_or(p.link));
  } else {
    leaving_ = p.link;
  }
  p.ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               arrivedAt_)
             .count();
  // Its locks (the record's, the serial port's) go before the bench waits for the next one.
  apply_.reset();
  ++handled_;
  phase_ = Phase::Leaving;
  const auto result = outcome == BatchOutcome::Done     ? BatchCounter::Outcome::Done
                      : outcome == BatchOutcome::Failed ? BatchCounter::Outcome::Failed
                                                        : BatchCounter::Outcome::Interrupted;
  try {
    counter_->complete(p.line.serial, result, device);
  } catch (const BatchError& e) {
    fail(e);
  }
  writeLine(p);
  printers_.push_back(p);
}

void BatchRun::writeLine(BatchPrinter& printer) {
  try {
    report_.append(printer.line);
  } catch (const BatchError& e) {
    fail(e);
  }
}

}  // namespace plenar
