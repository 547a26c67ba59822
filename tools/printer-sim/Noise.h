// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plenar::sim {

// Deterministic line noise. A UART that samples a line at the wrong rate, or picks up a glitch,
// mostly reads runs of set or cleared bits (00, 80, F0, FE, FF, ...); the values produced here are
// drawn from such patterns. None of them is 0x02 (a frame start) or 0x61 (the boot answer), so
// noise never looks like the start of a reply to the tool.
// Threads: one thread at a time.
class NoiseSource {
 public:
  explicit NoiseSource(std::uint64_t seed) : state_(seed) {}
  std::uint8_t next();
  std::vector<std::uint8_t> bytes(std::size_t count);

 private:
  std::uint64_t state_;
};

}  // namespace plenar::sim
