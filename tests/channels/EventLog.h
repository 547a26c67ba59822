// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "channels/TComm.h"
#include "platform/OwnerDispatcher.h"

// Records what a TComm reports, and on which thread. Waits are bounded.
class EventLog {
 public:
  void bind(plenar::TComm& comm, const plenar::OwnerDispatcher& owner) {
    comm.OnReceiveData = [this, &owner](plenar::TComm&, const std::uint8_t* bytes,
                                        std::uint16_t count) {
      std::lock_guard lock(mutex_);
      data_.insert(data_.end(), bytes, bytes + count);
      chunkSizes_.push_back(count);
      offOwnerThread_ += owner.isOwnerThread() ? 0 : 1;
      changed_.notify_all();
    };
    comm.OnSendDataEmpty = [this, &owner](plenar::TComm&) {
      std::lock_guard lock(mutex_);
      ++sendDataEmpty_;
      offOwnerThread_ += owner.isOwnerThread() ? 0 : 1;
      changed_.notify_all();
    };
    comm.OnRequestHangup = [this, &owner](plenar::TComm&) {
      std::lock_guard lock(mutex_);
      ++hangups_;
      offOwnerThread_ += owner.isOwnerThread() ? 0 : 1;
      changed_.notify_all();
    };
  }

  // Waits until `done` holds (checked under the lock) or the time-out runs out.
  bool waitUntil(const std::function<bool(const EventLog&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return done(*this); });
  }
  bool waitForData(std::size_t count) {
    return waitUntil([count](const EventLog& l) { return l.data_.size() >= count; });
  }
  bool waitForSendDataEmpty(int count) {
    return waitUntil([count](const EventLog& l) { return l.sendDataEmpty_ >= count; });
  }
  bool waitForHangup() {
    return waitUntil([](const EventLog& l) { return l.hangups_ > 0; });
  }

  std::vector<std::uint8_t> data() const {
    std::lock_guard lock(mutex_);
    return data_;
  }
  std::vector<std::size_t> chunkSizes() const {
    std::lock_guard lock(mutex_);
    return chunkSizes_;
  }
  int sendDataEmpty() const {
    std::lock_guard lock(mutex_);
    return sendDataEmpty_;
  }
  int hangups() const {
    std::lock_guard lock(mutex_);
    return hangups_;
  }
  int offOwnerThread() const {
    std::lock_guard lock(mutex_);
    return offOwnerThread_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::uint8_t> data_;
  std::vector<std::size_t> chunkSizes_;
  int sendDataEmpty_ = 0;
  int hangups_ = 0;
  int offOwnerThread_ = 0;
};

// An owner thread driven by the test itself: callbacks wait in the queue until runAll(), so a
// test can close, reopen or destroy the component while events are still queued.
class QueuedDispatcher : public plenar::OwnerDispatcher {
 public:
  void post(std::function<void()> callback) override {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(callback));
    changed_.notify_all();
  }
  bool isOwnerThread() const override { return true; }

  bool waitForQueued(std::size_t count,
                     std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return queue_.size() >= count; });
  }
  // Runs callbacks as they come until `done` holds or the time-out runs out.
  bool runUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      {
        std::unique_lock lock(mutex_);
        changed_.wait_until(lock, deadline, [&] { return !queue_.empty(); });
      }
      runAll();
    }
    return true;
  }
  void runAll() {
    std::deque<std::function<void()>> batch;
    {
      std::lock_guard lock(mutex_);
      batch.swap(queue_);
    }
    for (auto& callback : batch) callback();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> queue_;
};
