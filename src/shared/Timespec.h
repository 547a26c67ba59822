// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <time.h>

#include <algorithm>
#include <chrono>

namespace plenar {

// A wait for ppoll(), to the nanosecond; nothing left is a zero wait, and waits beyond `cap` are
// cut to it (the caller's loop then waits again).
inline timespec waitFor(std::chrono::nanoseconds left,
                        std::chrono::nanoseconds cap = std::chrono::hours(24)) {
  left = std::clamp(left, std::chrono::nanoseconds::zero(), cap);
  return {static_cast<time_t>(left.count() / 1000000000),
          static_cast<long>(left.count() % 1000000000)};
}

}  // namespace plenar
