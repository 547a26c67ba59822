// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/CommandRequest.h"
#include "shared/Errors.h"

namespace plenar {

// A command that changes the printer outside an apply (a plenar command, a window's button)
// makes the link's apply record forget what it changes, before the first byte goes out: the
// record must never claim a value the printer may no longer hold, or the next apply would call
// that group "unchanged".

// The apply groups a request changes on the printer. `all` for the requests whose effect no
// group names (restore defaults, set all parameters, raw user data).
struct ChangedGroups {
  bool all = false;
  std::vector<std::string> groups;
  bool empty() const { return !all && groups.empty(); }
};
ChangedGroups groupsChangedBy(const CommandRequest& request);

// The record could not be brought in line; nothing was sent. Its kind is Busy while an apply to
// the printer holds the record, File when the record cannot be read or written.
class RecordNotForgotten : public EPrinterError {
 public:
  RecordNotForgotten(const std::string& message, FailureKind kind)
      : EPrinterError(message, {}, kind) {}
};

// Takes what `request` changes out of the default record of its link in `stateDir` (under the
// record's lock), when there is such a record. Throws RecordNotForgotten when it cannot.
void forgetChangedGroups(const std::string& stateDir, const CommandRequest& request);

// The worker's command gate (TCommThread::setCommandGate) of a front end whose records live in
// `stateDir`: forgetChangedGroups for every request but an apply's own.
std::function<void(const CommandRequest&)> recordForgettingGate(std::string stateDir);

}  // namespace plenar
