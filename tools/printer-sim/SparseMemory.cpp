// SPDX-License-Identifier: GPL-3.0-or-later
#include "SparseMemory.h"

#include <algorithm>

namespace plenar::sim {

void SparseMemory::write(std::uint32_t address, std::span<const std::uint8_t> bytes) {
  std::uint64_t start = address;
  std::uint64_t end = std::min<std::uint64_t>(start + bytes.size(), kSpaceSize);
  if (end <= start) return;
  for (std::uint64_t a = start; a < end; ++a) {
    auto pageNo = static_cast<std::uint32_t>(a / kPageSize);
    auto& page = pages_[pageNo];
    if (!page) {
      page = std::make_unique<Page>();
      page->fill(0xFF);
    }
    (*page)[a % kPageSize] = bytes[a - start];
  }
  // Merge [start, end) with every range it overlaps or touches.
  auto it = ranges_.upper_bound(start);
  if (it != ranges_.begin()) {
    auto prev = std::prev(it);
    if (prev->second >= start) it = prev;
  }
  while (it != ranges_.end() && it->first <= end) {
    start = std::min(start, it->first);
    end = std::max(end, it->second);
    it = ranges_.erase(it);
  }
  ranges_[start] = end;
}

std::vector<std::uint8_t> SparseMemory::read(std::uint32_t address, std::size_t count) const {
  std::vector<std::uint8_t> out(count, 0xFF);
  for (std::size_t i = 0; i < count; ++i) {
    std::uint64_t a = static_cast<std::uint64_t>(address) + i;
    if (a >= kSpaceSize) break;
    auto it = pages_.find(static_cast<std::uint32_t>(a / kPageSize));
    if (it != pages_.end()) out[i] = (*it->second)[a % kPageSize];
  }
  return out;
}

std::vector<SparseMemory::Range> SparseMemory::writtenRanges() const {
  std::vector<Range> out;
  for (const auto& [start, end] : ranges_) {
    out.push_back({static_cast<std::uint32_t>(start),
                   read(static_cast<std::uint32_t>(start), static_cast<std::size_t>(end - start))});
  }
  return out;
}

std::uint64_t SparseMemory::writtenBytes() const {
  std::uint64_t n = 0;
  for (const auto& [start, end] : ranges_) n += end - start;
  return n;
}

void SparseMemory::clear() {
  pages_.clear();
  ranges_.clear();
}

}  // namespace plenar::sim
