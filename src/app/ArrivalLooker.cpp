// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ArrivalLooker.h"

#include <chrono>

namespace plenar {
namespace {
// Between two looks; each watch keeps its own, longer, interval where its link needs one.
constexpr std::chrono::milliseconds kLookEvery{100};
}  // namespace

ArrivalLooker::ArrivalLooker(std::unique_ptr<ArrivalWatch> watch,
                             std::function<void(std::size_t attached)> attached)
    : watch_(std::move(watch)), attached_(std::move(attached)), thread_([this] { loop(); }) {}

ArrivalLooker::~ArrivalLooker() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void ArrivalLooker::awaitArrival(std::function<void(const LinkSnapshot&)> arrived) {
  {
    std::lock_guard lock(mutex_);
    arrived_ = std::move(arrived);
    gone_ = nullptr;
  }
  wake_.notify_all();
}

void ArrivalLooker::awaitDeparture(const LinkSnapshot& link, std::function<void()> gone) {
  {
    std::lock_guard lock(mutex_);
    leaving_ = link;
    gone_ = std::move(gone);
    arrived_ = nullptr;
  }
  wake_.notify_all();
}

void ArrivalLooker::cancel() {
  std::lock_guard lock(mutex_);
  arrived_ = nullptr;
  gone_ = nullptr;
}

void ArrivalLooker::loop() {
  const std::size_t attached = watch_->attachedNow().size();
  if (attached_) attached_(attached);
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (!arrived_ && !gone_) {
      wake_.wait(lock);
      continue;
    }
    const bool arrival = static_cast<bool>(arrived_);
    const LinkSnapshot leaving = leaving_.value_or(LinkSnapshot{});
    // The look itself runs unlocked: a cancel does not wait for it, and its result is dropped.
    lock.unlock();
    std::optional<LinkSnapshot> came;
    bool left = false;
    if (arrival) {
      came = watch_->arrival();
    } else {
      left = watch_->gone(leaving);
    }
    lock.lock();
    if (arrival && came && arrived_) {
      auto call = std::move(arrived_);
      arrived_ = nullptr;
      lock.unlock();
      call(*came);
      lock.lock();
    } else if (!arrival && left && gone_) {
      auto call = std::move(gone_);
      gone_ = nullptr;
      lock.unlock();
      call();
      lock.lock();
    } else {
      wake_.wait_for(lock, kLookEvery);
    }
  }
}

}  // namespace plenar
