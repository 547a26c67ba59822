// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's input splitter, fed in arbitrary chunks: every byte comes out exactly once, as
// part of a frame, a bad frame, raw input or the undecided rest.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "FrameScanner.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  plenar::sim::FrameScanner scanner;
  std::vector<std::uint8_t> out;
  std::size_t pos = 0;
  while (pos < size) {
    std::size_t n = std::min<std::size_t>(1 + data[pos] % 96, size - pos);
    scanner.feed(std::span(data + pos, n));
    pos += n;
    for (auto item = scanner.next(); item.kind != plenar::sim::FrameScanner::Item::Kind::None;
         item = scanner.next()) {
      if (item.bytes.empty()) std::abort();
      if (item.kind != plenar::sim::FrameScanner::Item::Kind::Raw) {
        if (item.header.dataLength > plenar::sim::FrameScanner::kMaxData) std::abort();
        (void)item.data();
      }
      out.insert(out.end(), item.bytes.begin(), item.bytes.end());
    }
  }
  std::vector<std::uint8_t> rest = scanner.takePending();
  out.insert(out.end(), rest.begin(), rest.end());
  if (out != std::vector<std::uint8_t>(data, data + size)) std::abort();
  return 0;
}
