// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include "platform/OwnerDispatcher.h"
#include "platform/ReportWindow.h"

namespace plenar {

// A report window without widgets: each message runs `handler` on the dispatcher's owner thread.
// Threads: post/send from any thread other than the owner (send from the owner runs inline).
class HeadlessReportWindow : public ReportWindow {
 public:
  using Handler = std::function<void(int msg, std::intptr_t wParam)>;
  HeadlessReportWindow(OwnerDispatcher& dispatcher, Handler handler);

  void post(int msg, std::intptr_t wParam) override;
  void send(int msg, std::intptr_t wParam) override;

 private:
  OwnerDispatcher& dispatcher_;
  Handler handler_;
};

}  // namespace plenar
