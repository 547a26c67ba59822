// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

#include "platform/ManualResetEvent.h"

namespace plenar {

// The reply of the running command: the bytes received for it, how far they reach, the data
// length of the complete reply frame, and the event that wakes the worker once one is complete.
// Threads: a channel's reading thread (or the owner thread) appends received bytes; the worker
// resets the state before each send, waits for the event and then copies the reply out. Buffer,
// position and length change together under one lock; the event is set under it once a reply is
// complete, after which nothing is added until the next reset.
class ReplyBuffer {
 public:
  static constexpr std::size_t kSize = 4096;

  // Before a request goes out (worker): no reply, nothing collected. The bytes stay.
  void reset();

  // Receiving thread. Boot mode's raw copy: the bytes as they come, from the current position up to
  // the buffer's end; the excess is dropped.
  void appendRaw(std::span<const std::uint8_t> bytes);
  // Receiving thread. Collects a reply frame from the bytes of any number of chunks: bytes before a
  // start byte are dropped, a frame whose checks fail is dropped whole, and the event is set
  // once header, data and check byte of a valid frame are in. Nothing is collected while a
  // complete reply waits for the worker.
  void assemble(std::span<const std::uint8_t> bytes);

  // Worker. Waits up to `timeout` for a complete reply; true once there is one.
  bool waitFor(std::chrono::milliseconds timeout) const { return complete_.waitFor(timeout); }
  bool complete() const { return complete_.isSet(); }
  // Ends a worker's wait at once without a reply (the program is closing).
  void interrupt() { complete_.set(); }

  // The data length of the complete reply (0 when it carries none, or before one came).
  int length() const { return length_.load(); }
  // The length of a reply taken from elsewhere (a datagram on the network).
  void setLength(int length) { length_.store(length); }
  // Copies the reply's data with its check byte and what follows (as far as the buffer and
  // `out` reach, at most length + 16 bytes) to the start of `out`; returns the data length.
  int copyData(std::span<std::uint8_t> out) const;

  // Boot handshake support.
  std::uint8_t firstByte() const;
  void fill(std::uint8_t value);

  // The first 16 bytes as collected: the header of a complete reply (tests).
  std::array<std::uint8_t, 16> header() const;
  // Where the next byte goes (tests).
  int position() const;

 private:
  mutable std::mutex mutex_;
  std::array<std::uint8_t, kSize> buffer_{};
  int position_ = 0;
  std::atomic<int> length_{0};
  ManualResetEvent complete_;
};

}  // namespace plenar
