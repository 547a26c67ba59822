// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace plenar {

// An event that stays signalled until reset, like the Windows manual-reset event.
// Threads: every member may be called from any thread at any time.
class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool initiallySet = false) : set_(initiallySet) {}
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void set();
  void reset();
  bool isSet() const;
  // Blocks until the event is set; returns false when the time-out ran out first.
  bool waitFor(std::chrono::milliseconds timeout) const;
  void wait() const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool set_;
};

}  // namespace plenar
