// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/QtReportWindow.h"

#include <QMetaObject>
#include <QThread>

namespace plenar {

namespace {

// Marks a sent message as finished when the queued call is destroyed: after its handler ran, or
// when Qt drops the call because the window object went away. Either way the waiting worker is
// released.
class SendCompletion {
 public:
  SendCompletion(std::shared_ptr<void> keepState, std::shared_ptr<bool> done, std::mutex& mutex,
                 std::condition_variable& handled)
      : keepState_(std::move(keepState)),
        done_(std::move(done)),
        mutex_(mutex),
        handled_(handled) {}
  SendCompletion(const SendCompletion&) = delete;
  SendCompletion& operator=(const SendCompletion&) = delete;
  ~SendCompletion() {
    {
      std::lock_guard lock(mutex_);
      *done_ = true;
    }
    handled_.notify_all();
  }

 private:
  std::shared_ptr<void> keepState_;  // owns mutex_ and handled_
  std::shared_ptr<bool> done_;
  std::mutex& mutex_;
  std::condition_variable& handled_;
};

}  // namespace

bool QtReportWindow::State::isClosed() {
  std::lock_guard lock(mutex);
  return closed;
}

void QtReportWindow::State::deliver(int msg, std::intptr_t wParam) {
  if (!isClosed()) handler(msg, wParam);
}

QtReportWindow::QtReportWindow(QObject* window, Handler handler)
    : window_(window), state_(std::make_shared<State>()) {
  state_->handler = std::move(handler);
}

QtReportWindow::~QtReportWindow() {
  close();
}

void QtReportWindow::close() {
  {
    std::lock_guard lock(state_->mutex);
    state_->closed = true;
  }
  state_->handled.notify_all();
}

void QtReportWindow::post(int msg, std::intptr_t wParam) {
  std::shared_ptr<State> state = state_;
  if (state->isClosed()) return;
  QMetaObject::invokeMethod(
      window_, [state, msg, wParam] { state->deliver(msg, wParam); }, Qt::QueuedConnection);
}

void QtReportWindow::send(int msg, std::intptr_t wParam) {
  std::shared_ptr<State> state = state_;
  if (state->isClosed()) return;
  if (QThread::currentThread() == window_->thread()) {
    state->deliver(msg, wParam);
    return;
  }
  auto done = std::make_shared<bool>(false);
  {
    auto completion = std::make_shared<SendCompletion>(state, done, state->mutex, state->handled);
    QMetaObject::invokeMethod(
        window_, [state, completion, msg, wParam] { state->deliver(msg, wParam); },
        Qt::QueuedConnection);
  }
  std::unique_lock lock(state->mutex);
  state->handled.wait(lock, [&] { return *done || state->closed; });
}

}  // namespace plenar
