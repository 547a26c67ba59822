// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

#include "shared/FailureKind.h"

namespace plenar {

// A failure that carries a message for the user: the worker reports it as failure code 1 with
// exactly this text. Any other exception is failure code 2, "Undefined Error".
// Where a failure is turned into one of the described user texts ("Set Baudrate Failed",
// "Connecting Failed"), the failure it replaces travels on as the cause, each layer putting its
// own context in front ("switching to 115200 bit/s: Download Data Failed"): the worker writes it
// to debug.log and plenar reports it as the error's detail.
class EPrinterError : public std::runtime_error {
 public:
  explicit EPrinterError(const std::string& message, std::string cause = {})
      : std::runtime_error(message), cause_(std::move(cause)) {}
  const std::string& cause() const { return cause_; }
  // What the failure says about where it lies (a result's error kind).
  virtual FailureKind kind() const { return FailureKind::Printer; }

 private:
  std::string cause_;
};

// No valid reply: "Download Data Failed", "Received Failed".
class ECommunicationException : public EPrinterError {
 public:
  using EPrinterError::EPrinterError;
};

// Rate switch or connect handshake failed: "Set Baudrate Failed", "Connecting Failed".
class ESetBaudRateException : public EPrinterError {
 public:
  using EPrinterError::EPrinterError;
  // The printer was never reached at the rate or in the mode the command needs.
  FailureKind kind() const override { return FailureKind::Link; }
};

// Opening a channel failed ("Error opening serial port", ...). `osError` keeps the errno of the
// failing call; the message stays the user's text. `reason` says why in words the user can act on
// (channels/OpenFailureReason.h builds it): the worker writes it to debug.log, plenar prints it
// on a second line under the message, the windows show it as a message box's detail text.
class ECommsError : public EPrinterError {
 public:
  explicit ECommsError(const std::string& message, int osError = 0, std::string reason = {})
      : EPrinterError(message), osError_(osError), reason_(std::move(reason)) {}
  int osError() const { return osError_; }
  const std::string& reason() const { return reason_; }
  FailureKind kind() const override { return openFailureKind(osError_); }

 private:
  int osError_;
  std::string reason_;
};

// The message of `e` followed by the cause it carries: "Set Baudrate Failed: switching to 115200
// bit/s: Download Data Failed".
std::string messageWithCause(const std::exception& e);
// The same for the exception being handled, in a catch block; for one that is no
// std::exception, a text saying so.
std::string currentFailure();

}  // namespace plenar
