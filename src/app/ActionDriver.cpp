// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ActionDriver.h"

#include <thread>
#include <utility>

namespace plenar {

ActionDriver::ActionDriver(ActionSource& source, Execute execute, Wait wait, Hooks hooks)
    : source_(source),
      execute_(std::move(execute)),
      wait_(std::move(wait)),
      hooks_(std::move(hooks)) {}

ActionDriver::~ActionDriver() {
  ++*generation_;
}

void ActionDriver::start() {
  running_ = true;
  advance();
}

void ActionDriver::stop() {
  running_ = false;
  ++*generation_;
}

void ActionDriver::advance() {
  if (advancing_) {
    again_ = true;
    return;
  }
  advancing_ = true;
  do {
    again_ = false;
    if (!running_) break;
    RunAction action = source_.next();
    if (action.kind == RunAction::Kind::Done || !carryOut(std::move(action))) {
      running_ = false;
      advancing_ = false;
      if (hooks_.finished) hooks_.finished();
      return;
    }
  } while (again_);
  advancing_ = false;
}

std::function<bool()> ActionDriver::currentCheck() const {
  const std::weak_ptr<unsigned> token = generation_;
  const unsigned generation = *generation_;
  // Each callback checks that the driver is still there and was not stopped since.
  return [token, generation] {
    const auto g = token.lock();
    return g && *g == generation;
  };
}

bool ActionDriver::await(const RunAction& action, const std::function<bool()>& current) {
  if (action.kind == RunAction::Kind::AwaitArrival) {
    if (!hooks_.arrival) return false;
    hooks_.arrival(action, [this, current](const std::optional<LinkSnapshot>& link) {
      if (!current()) return;
      if (link) source_.arrived(*link);
      advance();
    });
    return true;
  }
  if (!hooks_.departure) return false;
  hooks_.departure(action, [this, current](bool gone) {
    if (!current()) return;
    if (gone) source_.departed();
    advance();
  });
  return true;
}

bool ActionDriver::carryOut(RunAction action) {
  if (hooks_.starting) hooks_.starting(action);
  const auto current = currentCheck();
  if (action.kind == RunAction::Kind::AwaitArrival ||
      action.kind == RunAction::Kind::AwaitDeparture) {
    return await(action, current);
  }
  if (action.kind == RunAction::Kind::Wait) {
    wait_(action.wait, [this, current] {
      if (current()) advance();
    });
    return true;
  }
  auto shared = std::make_shared<RunAction>(std::move(action));
  execute_(*shared, [this, current, shared](const RunOutcome& outcome) {
    if (!current()) return;
    source_.report(outcome);
    if (hooks_.reported) hooks_.reported(*shared, outcome);
    advance();
  });
  return true;
}

void sleepThen(std::chrono::milliseconds time, const std::function<void()>& done) {
  std::this_thread::sleep_for(time);
  done();
}

void driveToEnd(ActionSource& source, const ActionDriver::Execute& execute,
                const ActionDriver::Wait& wait, ActionDriver::Hooks hooks) {
  ActionDriver driver(source, execute, wait, std::move(hooks));
  driver.start();
}

}  // namespace plenar
