// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ManualResetEvent.h"

namespace plenar {

void ManualResetEvent::set() {
  // Notified under the lock: a waiter that wakes may destroy the event at once, which must not
  // happen while the notification is still being delivered.
  std::lock_guard lock(mutex_);
  set_ = true;
  changed_.notify_all();
}

void ManualResetEvent::reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool ManualResetEvent::isSet() const {
  std::lock_guard lock(mutex_);
  return set_;
}

bool ManualResetEvent::waitFor(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return set_; });
}

void ManualResetEvent::wait() const {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return set_; });
}

}  // namespace plenar
