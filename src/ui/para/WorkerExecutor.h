// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "app/ActionDriver.h"

namespace plenar {

class TFrmMain;

// The windows' way of carrying out a run's actions (ActionDriver::Execute): a link test or a
// request is posted to the worker as soon as it is idle, and its outcome goes back to the run at
// the worker's idle notice after its report, when the next post will be taken. Nothing polls and
// nothing waits: the window hands over the worker's report (commandReported) and its idle notice
// (workerIdle).
// Threads: GUI thread only.
class WorkerExecutor {
 public:
  explicit WorkerExecutor(TFrmMain& main) : main_(main) {}

  // For ActionDriver: `action` goes out at once when the worker is idle, else at its idle notice.
  void execute(const RunAction& action, ActionDriver::Done done);
  // An action was posted and its outcome has not gone back yet.
  bool awaiting() const { return posted_ || pending_.has_value(); }
  // The worker reported the command posted here (message 1026, or 1027 with its text).
  void commandReported(bool ok, const std::string& failureText);
  // The worker is idle again.
  void workerIdle();
  // Forgets the action under way: its outcome, when it comes, goes nowhere.
  void drop();

 private:
  void postIfIdle();

  TFrmMain& main_;
  std::optional<RunAction> pending_;  // waits for the worker to be idle
  bool posted_ = false;               // posted, its outcome not yet back
  RunAction::Kind postedKind_ = RunAction::Kind::Done;
  std::optional<RunOutcome> outcome_;  // reported, given back at the idle notice
  ActionDriver::Done done_;
};

}  // namespace plenar
