// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "profile/RunAction.h"

namespace plenar {

// A printer arrived on the link; nullopt: none did, the front end stopped the run instead.
using ActionArrived = std::function<void(const std::optional<LinkSnapshot>& link)>;
// The printer is gone; false: it is not, the front end stopped the run instead.
using ActionDeparted = std::function<void(bool gone)>;

// What a front end hears of a run besides its actions' outcomes.
struct ActionHooks {
  std::function<void(const RunAction&)> starting;  // before an action is carried out
  std::function<void(const RunAction&, const RunOutcome&)> reported;  // after the run took it
  std::function<void()> finished;                                     // the run is done
  // A bench's AwaitArrival and AwaitDeparture: the front end watches its links and answers
  // once. Without them a run that asks for one ends there.
  std::function<void(const RunAction&, ActionArrived)> arrival = {};
  std::function<void(const RunAction&, ActionDeparted)> departure = {};
};

// Carries out a run's actions (an apply, a batch bench) one at a time, for plenar and for the
// windows alike: it asks the run for the next action, hands a link test or a request to the
// front end's `execute`, a wait to its `wait` and a bench's wait for a printer to come or go to
// its `arrival` or `departure` hook, gives the outcome back to the run and goes on, until the run
// is done.
//
// The front end decides how: plenar runs each command to its end and calls `done` at once; a
// window posts it to the worker and calls `done` from the worker's idle notice, so its thread
// never waits and never polls. Either way the driver does not nest: a `done` called inside
// `execute` is taken up when `execute` returns.
// Threads: one thread (the front end's owner thread); `done` must be called on it.
class ActionDriver {
 public:
  using Done = std::function<void(const RunOutcome&)>;
  using Execute = std::function<void(const RunAction& action, Done done)>;
  using Wait = std::function<void(std::chrono::milliseconds time, std::function<void()> done)>;
  using Arrived = ActionArrived;
  using Departed = ActionDeparted;
  using Hooks = ActionHooks;

  ActionDriver(ActionSource& source, Execute execute, Wait wait, Hooks hooks = {});
  ~ActionDriver();
  ActionDriver(const ActionDriver&) = delete;
  ActionDriver& operator=(const ActionDriver&) = delete;

  // Starts with the run's first action; returns once the run is done or an action is under way.
  void start();
  // Stops where it is: an outcome or the end of a wait that comes later is dropped, and
  // `finished` is not called.
  void stop();
  // From start() until the run is done or stop().
  bool running() const { return running_; }

 private:
  void advance();
  // False when the front end cannot carry it out (no hook for a bench's wait): the run ends.
  bool carryOut(RunAction action);
  // Hands an AwaitArrival or AwaitDeparture to its hook; false when the front end has none.
  bool await(const RunAction& action, const std::function<bool()>& current);
  // Whether the driver is still there and was not stopped since this was made.
  std::function<bool()> currentCheck() const;

  ActionSource& source_;
  Execute execute_;
  Wait wait_;
  Hooks hooks_;
  bool running_ = false;
  bool advancing_ = false;  // inside advance(): a `done` called now is taken up by its loop
  bool again_ = false;      // an action ended while advancing: ask the run for the next one
  // Outcomes of actions begun before the last stop() (or of a driver gone) are dropped.
  std::shared_ptr<unsigned> generation_ = std::make_shared<unsigned>(0);
};

// A wait on the calling thread: sleeps, then calls `done`.
void sleepThen(std::chrono::milliseconds time, const std::function<void()>& done);

// plenar's way: each action is carried out to its end before the next. Runs the driver over
// `source` until it is done.
void driveToEnd(ActionSource& source, const ActionDriver::Execute& execute,
                const ActionDriver::Wait& wait, ActionDriver::Hooks hooks = {});

}  // namespace plenar
