// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HeadlessDispatcher.h"

namespace plenar {

HeadlessDispatcher::~HeadlessDispatcher() {
  stop();
}

void HeadlessDispatcher::post(std::function<void()> callback) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(callback));
  }
  queued_.notify_all();
}

bool HeadlessDispatcher::isOwnerThread() const {
  std::lock_guard lock(mutex_);
  return owner_ == std::this_thread::get_id();
}

void HeadlessDispatcher::exec() {
  runUntil({}, true);
}

bool HeadlessDispatcher::runFor(std::chrono::milliseconds duration) {
  return runUntil(std::chrono::steady_clock::now() + duration, false);
}

void HeadlessDispatcher::processPending() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(queue_);
  }
  for (auto& callback : batch) callback();
}

bool HeadlessDispatcher::runUntil(std::chrono::steady_clock::time_point deadline, bool untilQuit) {
  std::unique_lock lock(mutex_);
  owner_ = std::this_thread::get_id();
  while (true) {
    if (quit_) {
      quit_ = false;
      return true;
    }
    if (queue_.empty()) {
      if (untilQuit) {
        queued_.wait(lock);
      } else if (queued_.wait_until(lock, deadline) == std::cv_status::timeout && queue_.empty() &&
                 !quit_) {
        return false;
      }
      continue;
    }
    auto callback = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    callback();
    lock.lock();
  }
}

void HeadlessDispatcher::quit() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  queued_.notify_all();
}

void HeadlessDispatcher::start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { exec(); });
  std::lock_guard lock(mutex_);
  owner_ = thread_.get_id();
}

void HeadlessDispatcher::stop() {
  if (!thread_.joinable()) return;
  quit();
  thread_.join();
  std::lock_guard lock(mutex_);
  quit_ = false;
}

}  // namespace plenar
