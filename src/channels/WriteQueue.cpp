// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/WriteQueue.h"

namespace plenar {

void WriteQueue::start() {
  std::lock_guard lock(mutex_);
  running_ = true;
}

bool WriteQueue::push(std::span<const std::uint8_t> bytes) {
  {
    std::lock_guard lock(mutex_);
    if (!running_) return false;  // the writer stopped after a failure
    queue_.emplace_back(bytes.begin(), bytes.end());
    // Under the lock: the writer sets the mark under the same lock when it finds nothing.
    empty_ = false;
  }
  changed_.notify_all();
  return true;
}

std::optional<std::vector<std::uint8_t>> WriteQueue::next(const std::function<void()>& ranDry) {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (stopping_) return std::nullopt;
    if (!queue_.empty()) {
      std::vector<std::uint8_t> request = std::move(queue_.front());
      queue_.pop_front();
      reportDry_ = true;
      return request;
    }
    empty_ = true;
    if (reportDry_) {
      reportDry_ = false;
      lock.unlock();
      ranDry();
      lock.lock();
      continue;
    }
    changed_.wait(lock);
  }
}

void WriteQueue::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
}

void WriteQueue::finish() {
  std::lock_guard lock(mutex_);
  running_ = false;
  queue_.clear();
  empty_ = true;
}

std::optional<std::size_t> WriteQueue::queuedBytes() const {
  std::lock_guard lock(mutex_);
  if (!running_) return std::nullopt;
  std::size_t bytes = 0;
  for (const auto& request : queue_) bytes += request.size();
  return bytes;
}

}  // namespace plenar
