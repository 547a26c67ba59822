// SPDX-License-Identifier: GPL-3.0-or-later
#include "Noise.h"

#include <array>

namespace plenar::sim {

namespace {
constexpr std::array<std::uint8_t, 16> kLinePatterns{
    0x00, 0x80, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE, 0xFF, 0x78, 0x1E, 0x86, 0x98, 0x3C, 0xE6, 0x8C};
}  // namespace

std::uint8_t NoiseSource::next() {
  // splitmix64: a fixed sequence for a given seed.
  state_ += 0x9E3779B97F4A7C15ULL;
  std::uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return kLinePatterns[z % kLinePatterns.size()];
}

std::vector<std::uint8_t> NoiseSource::bytes(std::size_t count) {
  std::vector<std::uint8_t> out(count);
  for (auto& b : out) b = next();
  return out;
}

}  // namespace plenar::sim
