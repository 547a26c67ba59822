// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/ReportWindow.h"

namespace plenar {

// Worker messages to a window: post() queues the handler to the window's (GUI) thread, send()
// blocks the worker until the handler has run there (a handler may hold it for as long as a
// message box stays open).
// close() ends delivery: queued messages are dropped, a worker blocked in send() returns at once,
// and later messages are ignored. The window calls it before it stops the worker, so stopping can
// never wait on a worker that waits on the GUI thread.
// Threads: post/send from the worker; the handler runs on the GUI thread; construct, close and
// destroy on the GUI thread.
class QtReportWindow : public ReportWindow {
 public:
  using Handler = std::function<void(int msg, std::intptr_t wParam)>;
  QtReportWindow(QObject* window, Handler handler);
  ~QtReportWindow() override;
  QtReportWindow(const QtReportWindow&) = delete;
  QtReportWindow& operator=(const QtReportWindow&) = delete;

  void post(int msg, std::intptr_t wParam) override;
  void send(int msg, std::intptr_t wParam) override;
  void close();

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable handled;
    bool closed = false;
    Handler handler;
    bool isClosed();
    // Runs the handler unless closed; on the GUI thread.
    void deliver(int msg, std::intptr_t wParam);
  };

  QObject* window_;
  std::shared_ptr<State> state_;
};

}  // namespace plenar
