// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/OwnerDispatcher.h"

namespace plenar {

// Owner thread without a GUI: a FIFO of callbacks run by whichever thread calls exec()/runFor()
// (the CLI's main thread), or by a thread of its own after start() (engine tests).
// Threads: post() from anywhere; exec/runFor/processPending from the owner thread only.
class HeadlessDispatcher : public OwnerDispatcher {
 public:
  HeadlessDispatcher() = default;
  ~HeadlessDispatcher() override;
  HeadlessDispatcher(const HeadlessDispatcher&) = delete;
  HeadlessDispatcher& operator=(const HeadlessDispatcher&) = delete;

  void post(std::function<void()> callback) override;
  bool isOwnerThread() const override;

  // Makes the calling thread the owner and runs callbacks until quit().
  void exec();
  // Makes the calling thread the owner and runs callbacks for at most `duration`, or until
  // quit(); returns true when quit() ended it.
  bool runFor(std::chrono::milliseconds duration);
  // Runs what is queued now, without waiting. Owner thread only.
  void processPending();
  void quit();

  // Runs the loop on a thread of its own until stop() or destruction.
  void start();
  void stop();

 private:
  bool runUntil(std::chrono::steady_clock::time_point deadline, bool untilQuit);

  mutable std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<std::function<void()>> queue_;
  bool quit_ = false;
  std::thread::id owner_ = std::this_thread::get_id();
  std::thread thread_;
};

}  // namespace plenar
