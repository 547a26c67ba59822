// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

#include "shared/FailureKind.h"

namespace plenar {

// What became of one posted command, handed to the poster's completion on its own (owner)
// thread once the worker is idle again. Every front end learns the outcome from this value; a
// run's driver hands the same value back to the run (RunOutcome).
struct CommandResult {
  int command = 0;  // the request's code
  bool ok = false;
  // 1: failed with a text of its own, 2: failed without one ("Undefined Error"); 0 when ok.
  int failureCode = 0;
  FailureKind kind = FailureKind::Printer;
  std::string code = {};      // the failure's stable key for programs; empty: the kind's own
  std::string message = {};   // the failure text as the windows show it ("Received Failed")
  std::string detail = {};    // the system's reason a device would not open
  std::string cause = {};     // what the text replaced ("switching to 115200 bit/s: ...")
  int osError = 0;            // the errno of a device that would not open
  std::string status = {};    // the last status text the command showed
  std::string modelTag = {};  // the printer's model tag, once an identify request was answered
  bool confirmed = false;     // ok, and the printer acknowledged what was sent
  long long bytesSent = 0;
  long long bytesReceived = 0;

  // The detail plenar prints under the text: the system's reason, else the cause.
  const std::string& shownDetail() const { return detail.empty() ? cause : detail; }
};

using CommandCompletion = std::function<void(const CommandResult&)>;

}  // namespace plenar
