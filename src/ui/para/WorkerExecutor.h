// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>

#include "app/ActionDriver.h"

namespace plenar {

class TFrmMain;

// The windows' way of carrying out a run's actions (ActionDriver::Execute): a link test or a
// request is posted to the worker as soon as it is idle, and the worker's result goes back to
// the run from the post's completion, when the next post will be taken. Nothing polls and
// nothing waits: the window hands over the worker's idle notice (workerIdle) for an action that
// had to wait for another window's command.
// Threads: GUI thread only.
class WorkerExecutor {
 public:
  explicit WorkerExecutor(TFrmMain& main) : main_(main) {}

  // For ActionDriver: `action` goes out at once when the worker is idle, else at its idle notice.
  void execute(const RunAction& action, ActionDriver::Done done);
  // An action was posted and its outcome has not gone back yet.
  bool awaiting() const { return posted_ || pending_.has_value(); }
  // The worker is idle again.
  void workerIdle();
  // Forgets the action under way: its outcome, when it comes, goes nowhere.
  void drop();

 private:
  void postIfIdle();
  void finished(const CommandResult& result);

  TFrmMain& main_;
  std::optional<RunAction> pending_;  // waits for the worker to be idle
  bool posted_ = false;               // posted, its outcome not yet back
  ActionDriver::Done done_;
  // A completion of a post made before the last drop() (or after this is gone) is dropped.
  std::shared_ptr<unsigned> generation_ = std::make_shared<unsigned>(0);
};

}  // namespace plenar
