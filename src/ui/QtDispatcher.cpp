#include "ui/QtDispatcher.h"

#include <QMetaObject>
#include <QThread>

namespace plenar {

void QtDispatcher::post(std::function<void()> callback) {
  QMetaObject::invokeMethod(target_, std::move(callback), Qt::QueuedConnection);
}

bool QtDispatcher::isOwnerThread() const { return QThread::currentThread() == target_->thread(); }

}  // namespace plenar
