// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <memory>

#include "platform/OwnerDispatcher.h"

namespace plenar {

// The owner thread is the GUI thread: callbacks are queued to a private QObject living there.
// Destroying the dispatcher drops every callback still queued, so a channel's late delivery can
// never reach an engine that is already gone; destroy the engine first, then the dispatcher.
// Threads: construct and destroy on the GUI thread; post() from any thread.
class QtDispatcher : public OwnerDispatcher {
 public:
  QtDispatcher();
  ~QtDispatcher() override;
  QtDispatcher(const QtDispatcher&) = delete;
  QtDispatcher& operator=(const QtDispatcher&) = delete;

  void post(std::function<void()> callback) override;
  bool isOwnerThread() const override;

 private:
  std::unique_ptr<QObject> context_;
};

}  // namespace plenar
