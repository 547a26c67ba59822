#include "ui/QtReportWindow.h"

#include <QMetaObject>
#include <QThread>

namespace plenar {

void QtReportWindow::post(int msg, std::intptr_t wParam) {
  QMetaObject::invokeMethod(
      window_, [this, msg, wParam] { handler_(msg, wParam); }, Qt::QueuedConnection);
}

void QtReportWindow::send(int msg, std::intptr_t wParam) {
  if (QThread::currentThread() == window_->thread()) {
    handler_(msg, wParam);
    return;
  }
  QMetaObject::invokeMethod(
      window_, [this, msg, wParam] { handler_(msg, wParam); }, Qt::BlockingQueuedConnection);
}

}  // namespace plenar
