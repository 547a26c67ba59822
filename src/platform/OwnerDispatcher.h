// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace plenar {

// Runs callbacks on the owner thread (the UI thread), in the order they were posted.
// Channels hand received bytes and device changes to the owner through it; the callback owns
// whatever it captured, so the bytes are copied exactly once on the way.
// Threads: post() may be called from any thread; callbacks run on the owner thread only.
class OwnerDispatcher {
 public:
  virtual ~OwnerDispatcher() = default;
  virtual void post(std::function<void()> callback) = 0;
  // True when the caller runs on the owner thread.
  virtual bool isOwnerThread() const = 0;
};

}  // namespace plenar
