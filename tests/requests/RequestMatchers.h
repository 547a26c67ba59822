// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "requests/BuildResult.h"

namespace plenar::testing {

using Bytes = std::vector<std::uint8_t>;

// The request of a result; fails the test (and returns an empty request) for any other outcome.
inline CommandRequest requestOf(const BuildResult& result) {
  if (auto* r = std::get_if<CommandRequest>(&result)) return *r;
  if (auto* refusal = std::get_if<Refusal>(&result)) {
    ADD_FAILURE() << "refused: " << refusal->message;
  } else {
    ADD_FAILURE() << "no action: " << std::get<NoAction>(result).reason;
  }
  return {};
}

inline std::string refusalOf(const BuildResult& result) {
  if (auto* refusal = std::get_if<Refusal>(&result)) return refusal->message;
  ADD_FAILURE() << "expected a refusal";
  return {};
}

inline bool isNoAction(const BuildResult& result) {
  return std::holds_alternative<NoAction>(result);
}

}  // namespace plenar::testing
