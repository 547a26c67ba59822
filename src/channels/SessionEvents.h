// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/OwnerDispatcher.h"

namespace plenar {

// The events a channel queues for its owner thread, delivered only while the channel exists and
// the open session that raised them is still the delivered one: after a close (or a close and a
// new open) the owner never sees bytes or notices of the earlier connection. The state is shared
// with every queued event, so an event that runs after the channel is gone finds that out.
// Threads: post() from any thread; the events run on the owner thread under the lock, which
// setSession() and detach() take too: once they have returned, no event of an earlier session
// runs. The lock is recursive: an event may close the channel or destroy it.
template <class Channel>
class SessionEvents {
 public:
  SessionEvents(OwnerDispatcher& owner, Channel& channel)
      : owner_(owner), shared_(std::make_shared<Shared>()) {
    shared_->channel = &channel;
  }

  // Queues `event` of session `session` for the owner thread.
  void post(std::uint64_t session, std::function<void(Channel&)> event) const {
    owner_.post([shared = shared_, session, event = std::move(event)] {
      std::lock_guard lock(shared->mutex);
      if (shared->channel != nullptr && shared->session == session) event(*shared->channel);
    });
  }
  // Runs `event` now (on the owner thread) unless the channel is gone, whatever the session.
  void run(const std::function<void(Channel&)>& event) const {
    std::lock_guard lock(shared_->mutex);
    if (shared_->channel != nullptr) event(*shared_->channel);
  }
  // The session whose events are delivered; 0 while closed.
  void setSession(std::uint64_t session) {
    std::lock_guard lock(shared_->mutex);
    shared_->session = session;
  }
  // The channel is going: nothing more is delivered.
  void detach() {
    std::lock_guard lock(shared_->mutex);
    shared_->channel = nullptr;
  }
  // The lock the events run under, for a channel that keeps its own state under it too.
  std::recursive_mutex& mutex() const { return shared_->mutex; }

 private:
  struct Shared {
    std::recursive_mutex mutex;
    Channel* channel = nullptr;
    std::uint64_t session = 0;
  };

  OwnerDispatcher& owner_;
  std::shared_ptr<Shared> shared_;
};

}  // namespace plenar
