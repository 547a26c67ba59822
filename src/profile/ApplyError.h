// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "shared/FailureKind.h"

namespace plenar {

// Why an apply failed. Built with designated initializers, naming only what it has:
// ApplyError{.kind = FailureKind::File, .message = e.what(), .code = "record-unsafe"}.
struct ApplyError {
  FailureKind kind = FailureKind::Printer;
  std::string message = {};
  std::string detail = {};
  std::string group = {};  // the step that failed, if one did
  // The stable key of a --json error; empty: the kind's own.
  std::string code = {};
};

}  // namespace plenar
