// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace plenar::sim {

// The printer's flash as the tool sees it: a 32-bit address space in 4 KiB pages, created on the
// first write. Erased flash reads 0xFF. Writes that run past 0xFFFFFFFF are cut at the top.
// Threads: one thread at a time.
class SparseMemory {
 public:
  static constexpr std::uint64_t kSpaceSize = 0x1'0000'0000ULL;
  static constexpr std::size_t kPageSize = 4096;

  struct Range {
    std::uint32_t address;
    std::vector<std::uint8_t> bytes;
  };

  void write(std::uint32_t address, std::span<const std::uint8_t> bytes);
  std::vector<std::uint8_t> read(std::uint32_t address, std::size_t count) const;
  // The written stretches, merged where they touch, in address order.
  std::vector<Range> writtenRanges() const;
  std::uint64_t writtenBytes() const;
  void clear();

 private:
  using Page = std::array<std::uint8_t, kPageSize>;
  std::map<std::uint32_t, std::unique_ptr<Page>> pages_;
  std::map<std::uint64_t, std::uint64_t> ranges_;  // start -> end (exclusive), disjoint
};

}  // namespace plenar::sim
