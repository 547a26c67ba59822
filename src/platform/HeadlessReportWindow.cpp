// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HeadlessReportWindow.h"

#include <memory>

#include "platform/ManualResetEvent.h"

namespace plenar {

HeadlessReportWindow::HeadlessReportWindow(OwnerDispatcher& dispatcher, Handler handler)
    : dispatcher_(dispatcher), handler_(std::move(handler)) {}

void HeadlessReportWindow::post(int msg, std::intptr_t wParam) {
  dispatcher_.post([this, msg, wParam] { handler_(msg, wParam); });
}

void HeadlessReportWindow::send(int msg, std::intptr_t wParam) {
  if (dispatcher_.isOwnerThread()) {
    handler_(msg, wParam);
    return;
  }
  auto handled = std::make_shared<ManualResetEvent>();
  dispatcher_.post([this, msg, wParam, handled] {
    handler_(msg, wParam);
    handled->set();
  });
  handled->wait();
}

}  // namespace plenar
