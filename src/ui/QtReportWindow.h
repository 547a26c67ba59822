#pragma once

#include <QObject>
#include <functional>

#include "platform/ReportWindow.h"

namespace plenar {

// Worker messages to a window: post() queues the handler to the window's (GUI) thread, send()
// blocks the worker until the handler has run there.
// Threads: post/send from the worker; the handler runs on the GUI thread.
class QtReportWindow : public ReportWindow {
 public:
  using Handler = std::function<void(int msg, std::intptr_t wParam)>;
  QtReportWindow(QObject* window, Handler handler)
      : window_(window), handler_(std::move(handler)) {}

  void post(int msg, std::intptr_t wParam) override;
  void send(int msg, std::intptr_t wParam) override;

 private:
  QObject* window_;
  Handler handler_;
};

}  // namespace plenar
