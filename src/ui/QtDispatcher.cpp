// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/QtDispatcher.h"

#include <QMetaObject>
#include <QThread>

namespace plenar {

QtDispatcher::QtDispatcher() : context_(std::make_unique<QObject>()) {}

// Deleting the context object removes the events still posted to it.
QtDispatcher::~QtDispatcher() = default;

void QtDispatcher::post(std::function<void()> callback) {
  QMetaObject::invokeMethod(context_.get(), std::move(callback), Qt::QueuedConnection);
}

bool QtDispatcher::isOwnerThread() const {
  return QThread::currentThread() == context_->thread();
}

}  // namespace plenar
