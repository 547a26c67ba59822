#pragma once

#include <QObject>

#include "platform/OwnerDispatcher.h"

namespace plenar {

// The owner thread is the GUI thread: callbacks are queued to a QObject living there.
// Threads: post() from any thread.
class QtDispatcher : public OwnerDispatcher {
 public:
  explicit QtDispatcher(QObject* guiObject) : target_(guiObject) {}
  void post(std::function<void()> callback) override;
  bool isOwnerThread() const override;

 private:
  QObject* target_;
};

}  // namespace plenar
