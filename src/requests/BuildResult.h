// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <variant>

#include "engine/CommandRequest.h"

namespace plenar {

// What a button of the parameter window (or the matching plenar command) does with the field
// values it holds. The request builders in this folder return one of three outcomes:
//
// - CommandRequest: post it to the worker. `paraBuf` holds exactly the bytes the routine sends
//   (ParaLen is its size); text fields are already GBK bytes, as the printer takes them.
// - Refusal: a field check failed; the window shows `message` in a message box, with the page of
//   the refused field in view and the cursor in it, and posts nothing; plenar prints it and exits
//   65.
// - NoAction: the button does nothing at all (an empty list, a port outside 2..65535). The
//   window stays silent; `reason` is for plenar, which has no silent way to ignore a command.
//
// Builders never throw for bad field contents; they only read their arguments and the shared
// texts, so they may run on any thread.
struct Refusal {
  std::string message;
  // The refused field as the parameter window names its control (and sysconfig.ini its key);
  // empty when no single field is at fault.
  std::string field = {};
  // A fixed English key for scripts ("ip-invalid", ...); the message is in the window's language.
  std::string code = "refused";
};

// `refusal`, naming `field`.
inline Refusal refusalOf(Refusal refusal, std::string field) {
  refusal.field = std::move(field);
  return refusal;
}

struct NoAction {
  std::string reason;
};

using BuildResult = std::variant<CommandRequest, Refusal, NoAction>;

inline bool isRequest(const BuildResult& r) {
  return std::holds_alternative<CommandRequest>(r);
}

}  // namespace plenar
