// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "cli/CliArgs.h"
#include "requests/FieldLimits.h"

namespace plenar::cli {

using plenar::FieldFilter;
using plenar::FieldLimit;
namespace field = plenar::field;

// The edit's limit on an argument: InputRefused (exit 65) when the value breaks it.
inline void checkFieldLimit(const std::string& value, const FieldLimit& limit) {
  if (auto refusal = fieldLimitRefusal(value, limit)) {
    throw InputRefused(*refusal, FailureKind::Refused, limit.name, "field-limit");
  }
}

}  // namespace plenar::cli
