// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

namespace plenar {

// Turns the bytes the line discipline hands over into the bytes the owner sees.
// With ParityCheck on, the port runs with PARMRK, and the kernel marks what it received:
// "FF FF" is one data byte FF, "FF 00 X" is byte X received with a parity or framing error,
// "FF 00 00" is a break. A byte with an error becomes the replacement character when
// ReplaceWhenParityError is on and stays X otherwise; a break is one 00 byte (what an unmarked
// line shows). With IgnoreNullChar every 00 byte is dropped.
// A mark split over two reads is held back until its end arrives.
// Threads: one filter per reader thread.
class SerialInputFilter {
 public:
  struct Options {
    bool parityMarks = false;
    bool replaceErrors = false;
    std::uint8_t replacedChar = 0;
    bool dropNul = false;

    bool active() const { return parityMarks || dropNul; }
    bool operator==(const Options&) const = default;
  };

  // Filters `count` bytes from `in` into `out` and returns how many were written. `out` must
  // have room for count + 1 bytes (a held-back FF that turns out to be a plain byte comes out
  // in front of the next one). `in` and `out` must not overlap.
  std::size_t filter(const std::uint8_t* in, std::size_t count, std::uint8_t* out,
                     const Options& options);
  // Forgets a held-back mark (the options changed or the port was reopened).
  void reset() { state_ = State::Plain; }
  bool holding() const { return state_ != State::Plain; }

 private:
  enum class State { Plain, SeenFF, SeenFF00 };
  State state_ = State::Plain;
};

}  // namespace plenar
