// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>
#include <string>

#include "shared/FailureKind.h"

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
  // Why a device could not be opened (ECommsError::reason), empty otherwise: shown under the
  // failure text, never in place of it.
  std::string errorDetail() const {
    std::lock_guard lock(mutex_);
    return detail_;
  }
  void setErrorDetail(std::string s) {
    std::lock_guard lock(mutex_);
    detail_ = std::move(s);
    openFailed_ = false;
    osError_ = 0;
    cause_.clear();
    kind_ = FailureKind::Printer;
  }
  // A device would not open: its reason (may be empty) and the errno behind it (0 when none),
  // for results a program reads (permission, busy, missing).
  void setOpenFailure(std::string reason, int osError) {
    std::lock_guard lock(mutex_);
    detail_ = std::move(reason);
    openFailed_ = true;
    osError_ = osError;
  }
  bool openFailed() const {
    std::lock_guard lock(mutex_);
    return openFailed_;
  }
  int errorOsError() const {
    std::lock_guard lock(mutex_);
    return osError_;
  }
  // What the failure text replaced (EPrinterError::cause), empty when it says all: for debug.log
  // and plenar's detail; the windows show the described text alone.
  std::string failureCause() const {
    std::lock_guard lock(mutex_);
    return cause_;
  }
  void setFailureCause(std::string s) {
    std::lock_guard lock(mutex_);
    cause_ = std::move(s);
  }
  // The failure's kind: a device that would not open by its errno, else as the failure was
  // raised (the link layer's "Connecting Failed" and "Set Baudrate Failed" are link).
  FailureKind failureKind() const {
    std::lock_guard lock(mutex_);
    return openFailed_ ? openFailureKind(osError_) : kind_;
  }
  void setFailureKind(FailureKind kind) {
    std::lock_guard lock(mutex_);
    kind_ = kind;
  }

 private:
  mutable std::mutex mutex_;
  std::string status_;
  std::string error_;
  std::string detail_;
  bool openFailed_ = false;
  int osError_ = 0;
  std::string cause_;
  FailureKind kind_ = FailureKind::Printer;
};

}  // namespace plenar
