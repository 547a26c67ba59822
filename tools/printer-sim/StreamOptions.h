// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

namespace plenar::sim {

// A bench of printers, one after another: printer n starts with a fresh state in its own state
// file (the {n} of --state), serves the same links (the serial link's path, the UDP address),
// leaves once it has been set up and stayed quiet, and after a gap the next one arrives (the bench
// starts empty: the first comes after a gap too). On a serial link the path vanishes while the
// bench is empty; on UDP the address goes silent.
struct StreamOptions {
  int count = 0;  // 0: one printer that stays, as without --stream
  int idleMs = 500;
  int gapMs = 1000;
  int pullPrinter = 0;  // this printer (from 1) ...
  int pullFrames = 0;   // ... is pulled out once this many frames arrived
};

// Takes a --stream option (`value` gives its argument); false when `arg` is not one.
// Throws std::invalid_argument for a bad value.
bool parseStreamOption(const std::string& arg, const std::function<const std::string&()>& value,
                       StreamOptions& stream);

// `pattern` with each {n} replaced by `n`.
std::string streamPath(const std::string& pattern, int n);

}  // namespace plenar::sim
