// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace plenar {

// The closed set of failure kinds a result names, for programs that act on them. Set where the
// failure is raised; made text only for JSON and the windows (failureKindName).
enum class FailureKind {
  Link,         // the printer could not be reached (no answer to the link test, port would not
                // open, rate switch refused)
  Printer,      // the printer answered wrongly or stopped answering during the command
  Refused,      // the input was refused before anything was sent (field check, profile value)
  Usage,        // a wrong command line
  Busy,         // the port is held by another program, or the worker by another command
  Permission,   // the user may not open the port
  File,         // an input or output file could not be used
  Interrupted,  // a signal ended the run
};

// "link", "printer", "refused", "usage", "busy", "permission", "file", "interrupted".
std::string_view failureKindName(FailureKind kind);

// A device that would not open, by the errno of the failing call: permission, busy, else link.
FailureKind openFailureKind(int osError);

}  // namespace plenar
