#include "ui/QtReportWindow.h"

#include <QMetaObject>
#include <QThread>

namespace plenar {

namespace {

// Marks a sent message as finished when the queued call is destroyed: after its handler ran, or
// when Qt drops the call because the window object went away. Either way the waiting worker is
// released.
struct SendCompletion {
  std::shared_ptr<void> keepState;  // owns *mutex and *handled
  std::shared_ptr<bool> done;
  std::mutex* mutex;
  std::condition_variable* handled;
  ~SendCompletion() {
    {
      std::lock_guard lock(*mutex);
      *done = true;
    }
    handled->notify_all();
  }
};

}  // namespace

void QtReportWindow::State::deliver(int msg, std::intptr_t wParam) {
  {
    std::lock_guard lock(mutex);
    if (closed) return;
  }
  handler(msg, wParam);
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
  QMetaObject::invokeMethod(
      window_, [state, msg, wParam] { state->deliver(msg, wParam); }, Qt::QueuedConnection);
}

void QtReportWindow::send(int msg, std::intptr_t wParam) {
  std::shared_ptr<State> state = state_;
  if (QThread::currentThread() == window_->thread()) {
    state->deliver(msg, wParam);
    return;
  }
  auto done = std::make_shared<bool>(false);
  {
    auto completion = std::make_shared<SendCompletion>(
        SendCompletion{state, done, &state->mutex, &state->handled});
    QMetaObject::invokeMethod(
        window_, [state, completion, msg, wParam] { state->deliver(msg, wParam); },
        Qt::QueuedConnection);
  }
  std::unique_lock lock(state->mutex);
  state->handled.wait(lock, [&] { return *done || state->closed; });
}

}  // namespace plenar
