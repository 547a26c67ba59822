// SPDX-License-Identifier: GPL-3.0-or-later
#include "shared/RateCodes.h"

namespace plenar {

std::optional<std::uint8_t> rateToCode(int rate) {
  for (const auto& rc : kRateCodes) {
    if (rc.rate == rate) return rc.code;
  }
  return std::nullopt;
}

std::optional<int> codeToRate(int code) {
  for (const auto& rc : kRateCodes) {
    if (rc.code == code) return rc.rate;
  }
  return std::nullopt;
}

}  // namespace plenar
