// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>
#include <string>

namespace plenar {

// The status text of one window, the progress view: written by the worker before it posts a
// progress message, read by the window's handler on the UI thread. Outcomes travel as a
// CommandResult, never through here.
// Threads: any; each access copies under the lock.
class WindowTexts {
 public:
  std::string statusText() const {
    std::lock_guard lock(mutex_);
    return status_;
  }
  void setStatusText(std::string s) {
    std::lock_guard lock(mutex_);
    status_ = std::move(s);
  }

 private:
  mutable std::mutex mutex_;
  std::string status_;
};

}  // namespace plenar
