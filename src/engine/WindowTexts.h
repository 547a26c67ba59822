#pragma once

#include <mutex>
#include <string>

namespace plenar {

// StatusText and ErrorText of one window: written by the worker before it posts a message, read
// by the window's handler on the UI thread.
// Threads: any; each access copies under the lock.
class WindowTexts {
 public:
  std::string statusText() const {
    std::lock_guard lock(mutex_);
    return status_;
  }
  std::string errorText() const {
    std::lock_guard lock(mutex_);
    return error_;
  }
  void setStatusText(std::string s) {
    std::lock_guard lock(mutex_);
    status_ = std::move(s);
  }
  void setErrorText(std::string s) {
    std::lock_guard lock(mutex_);
    error_ = std::move(s);
  }

 private:
  mutable std::mutex mutex_;
  std::string status_;
  std::string error_;
};

}  // namespace plenar
