// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <string>

#include "engine/CommandRequest.h"
#include "engine/CommandResult.h"
#include "shared/FailureKind.h"

namespace plenar {

// One thing a run (the apply of a profile, a batch bench) asks its front end to do on the worker,
// the clock or its watch of the links. The front end carries it out and reports the outcome back
// to the run.
struct RunAction {
  // AwaitArrival and AwaitDeparture are the bench's: the front end watches its links until a
  // printer arrives or the one just set up is gone.
  enum class Kind { TestLink, Send, Wait, AwaitArrival, AwaitDeparture, Done };
  Kind kind = Kind::Done;
  // TestLink and Send: the link to run it over; AwaitArrival: the link the bench watches (rates,
  // factory address); AwaitDeparture: where the printer's apply left it
  LinkSnapshot link;
  CommandRequest request;             // Send: the request, its link filled in
  std::string group;                  // Send: the group's name
  std::string description;            // for people: "[3/12] codepage (set-codepage)"
  std::chrono::milliseconds wait{0};  // Wait: how long, before the run is asked again
};

// What became of a TestLink or Send action: the worker's result of the command that carried it
// out (a refusal before anything was posted has ok false and its message).
using RunOutcome = CommandResult;

// A run as a sequence of actions: next() until Done, each TestLink and Send answered by
// report() before next() is called again (a Wait is answered by calling next() after it).
class ActionSource {
 public:
  virtual ~ActionSource() = default;
  virtual RunAction next() = 0;
  virtual void report(const RunOutcome& outcome) = 0;
  // After AwaitArrival: a printer arrived on `link`. After AwaitDeparture: it is gone. A run
  // that never asks for them leaves them alone.
  virtual void arrived(const LinkSnapshot& /*link*/) {}
  virtual void departed() {}
};

}  // namespace plenar
