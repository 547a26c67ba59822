// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes from the printer, cut into the chunks a serial reader hands on: the assembler must keep
// every copy inside the reply buffer and only ever report a frame whose checks hold.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/ReplyBuffer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static plenar::ReplyBuffer* reply = new plenar::ReplyBuffer;  // one buffer for the whole run
  reply->reset();
  std::vector<std::uint8_t> frame(plenar::ReplyBuffer::kSize + 16);
  // The first byte of each chunk gives its length (1..64), like the reader's idle-split blocks.
  std::size_t pos = 0;
  while (pos < size) {
    std::size_t n = 1 + data[pos] % 64;
    ++pos;
    n = std::min(n, size - pos);
    reply->assemble(std::span(data + pos, n));
    pos += n;
    if (reply->position() < 0 || reply->position() > static_cast<int>(plenar::ReplyBuffer::kSize)) {
      std::abort();
    }
    if (reply->complete()) {
      // A reported reply starts with the start byte, its header check holds, and its data and
      // their check byte lie inside the buffer and XOR to 0.
      const auto header = reply->header();
      std::uint8_t headerCheck = 0;
      for (std::uint8_t b : header) headerCheck ^= b;
      if (header[0] != 0x02 || headerCheck != 0) std::abort();
      const int length = reply->length();
      if (length < 0 || length + 17 > static_cast<int>(plenar::ReplyBuffer::kSize)) std::abort();
      std::fill(frame.begin(), frame.end(), 0);
      reply->copyData(frame);
      if (length > 0) {
        std::uint8_t check = 0;
        for (int i = 0; i <= length; ++i) check ^= frame[i];
        if (check != 0) std::abort();
      }
      reply->reset();
    }
  }
  return 0;
}
