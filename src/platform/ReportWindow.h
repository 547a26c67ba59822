// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace plenar {

// Messages the worker sends to the window in front.
enum WorkerMessage : int {
  kMsgLinkFound = 1024,    // sent: link test found the printer
  kMsgProgress = 1025,     // posted: a new progress or status text is ready
  kMsgDone = 1026,         // sent: command finished without failure
  kMsgFailed = 1027,       // posted: command failed, wParam = failure code 1 or 2
  kMsgLinkNotFound = 1028  // sent: link test failed
};

// The receiver of the worker's messages.
// post() returns at once; send() returns after the handler ran on the UI thread (the worker
// blocks meanwhile, e.g. while a message box is open).
// Threads: both are called from the worker thread; handlers run on the UI thread.
class ReportWindow {
 public:
  virtual ~ReportWindow() = default;
  virtual void post(int msg, std::intptr_t wParam) = 0;
  virtual void send(int msg, std::intptr_t wParam) = 0;
};

}  // namespace plenar
