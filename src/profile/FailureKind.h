// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace plenar {

// The closed set of failure kinds a result names, for programs that act on them:
//   link        the printer could not be reached (no answer to the link test, port would not
//               open, rate switch refused)
//   printer     the printer answered wrongly or stopped answering during the command
//   refused     the input was refused before anything was sent (field check, profile value)
//   usage       a wrong command line
//   busy        the port is held by another program
//   permission  the user may not open the port
//   file        an input or output file could not be used
// `openFailed`: the failure was a device that would not open (its errno in `osError`).
std::string failureKind(const std::string& message, bool openFailed, int osError);

}  // namespace plenar
