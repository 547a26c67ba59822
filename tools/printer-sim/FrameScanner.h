// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "shared/Frame.h"

namespace plenar::sim {

// Splits the printer's input into frames and raw bytes. A frame starts with 02 00 and a header
// whose bytes 0..15 XOR to 0 (the same rule the tool applies to replies) and whose data length
// fits the printer's 2049-byte frame buffer; everything else is raw input for the sequence
// decoder. A frame whose data check fails is consumed whole and reported as bad.
// Threads: one thread at a time.
class FrameScanner {
 public:
  static constexpr std::size_t kMaxData = kMaxReadData;

  struct Item {
    enum class Kind { None, Frame, BadFrame, Raw };
    Kind kind = Kind::None;
    FrameHeader header;               // Frame and BadFrame
    std::vector<std::uint8_t> bytes;  // the whole frame, or the raw bytes
    std::span<const std::uint8_t> data() const {
      return bytes.size() > kFrameHeaderSize
                 ? std::span<const std::uint8_t>(bytes).subspan(kFrameHeaderSize, header.dataLength)
                 : std::span<const std::uint8_t>();
    }
  };

  void feed(std::span<const std::uint8_t> bytes);
  // The next complete item; Kind::None when more input is needed to decide.
  Item next();
  // Hands back what is still undecided (a frame cut short) and forgets it.
  std::vector<std::uint8_t> takePending();
  bool empty() const { return pos_ == buf_.size(); }
  std::size_t pending() const { return buf_.size() - pos_; }

 private:
  void compact();

  std::vector<std::uint8_t> buf_;
  std::size_t pos_ = 0;
};

}  // namespace plenar::sim
