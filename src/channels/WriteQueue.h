// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace plenar {

// What a channel's writer thread sends: owned copies of the requests, in order, and the channel's
// "send data empty" mark, which is set each time the writer finds nothing left to send.
// Threads: push() from the caller's thread, next() and finish() from the writer, the rest from
// any thread.
class WriteQueue {
 public:
  // `empty` is the channel's mark; it outlives the queue (the channel's, not the session's).
  explicit WriteQueue(std::atomic<bool>& empty) : empty_(empty) {}

  // The writer runs from now on: requests are accepted.
  void start();
  // Queues a copy and clears the empty mark; false once the writer has ended (or before it ran).
  bool push(std::span<const std::uint8_t> bytes);
  // The writer's next request, waiting while there is none; nullopt once stop() was called.
  // Each time the queue runs dry the empty mark is set, and `ranDry` runs (the first time after
  // the start too, then once after each request sent).
  std::optional<std::vector<std::uint8_t>> next(const std::function<void()>& ranDry);
  // Ends the writer's wait (the channel is closing).
  void stop();
  // The writer has ended: nothing more is accepted, what is still queued is dropped.
  void finish();
  // The bytes still queued (not yet taken by the writer); nullopt once the writer has ended.
  std::optional<std::size_t> queuedBytes() const;

 private:
  std::atomic<bool>& empty_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<std::uint8_t>> queue_;
  bool running_ = false;
  bool stopping_ = false;
  bool reportDry_ = true;
};

}  // namespace plenar
