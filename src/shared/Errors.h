// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

#include "shared/FailureKind.h"

namespace plenar {

// What a failure carries beyond its text: where it lies (kind), a stable key for programs
// (code; empty means the kind's own), the field or key it concerns, the line of a file, the
// system's reason a device would not open (detail) with the errno behind it, and what a described
// user text replaced (cause).
struct ErrorInfo {
  FailureKind kind = FailureKind::Printer;
  std::string code = {};
  std::string field = {};
  int line = 0;
  std::string detail = {};
  int osError = 0;
  std::string cause = {};
};

// The one error type: every failure the program reports is one of these (the classes below only
// construct it). The message is the user's text; the worker reports it as failure code 1 with
// exactly this text, and any other exception as failure code 2, "Undefined Error".
// Where a failure is turned into one of the described user texts ("Set Baudrate Failed",
// "Connecting Failed"), the failure it replaces travels on as the cause, each layer putting its
// own context in front ("switching to 115200 bit/s: Download Data Failed"): the worker writes it
// to debug.log and plenar reports it as the error's detail.
class Error : public std::runtime_error {
 public:
  Error(const std::string& message, ErrorInfo info)
      : std::runtime_error(message), info_(std::move(info)) {}
  const ErrorInfo& info() const { return info_; }
  FailureKind kind() const { return info_.kind; }
  const std::string& code() const { return info_.code; }
  const std::string& field() const { return info_.field; }
  int line() const { return info_.line; }
  const std::string& detail() const { return info_.detail; }
  int osError() const { return info_.osError; }
  const std::string& cause() const { return info_.cause; }

 private:
  ErrorInfo info_;
};

// A failure on the printer's side of a command, with the failure it replaced.
class EPrinterError : public Error {
 public:
  explicit EPrinterError(const std::string& message, std::string cause = {},
                         FailureKind kind = FailureKind::Printer)
      : Error(message, {.kind = kind, .cause = std::move(cause)}) {}

 protected:
  EPrinterError(const std::string& message, ErrorInfo info) : Error(message, std::move(info)) {}
};

// No valid reply: "Download Data Failed", "Received Failed". A printer that never answered during
// the command is unreachable (link); one that answered and then failed is the printer's fault.
class ECommunicationException : public EPrinterError {
 public:
  explicit ECommunicationException(const std::string& message, std::string cause = {},
                                   FailureKind kind = FailureKind::Printer)
      : EPrinterError(message, std::move(cause), kind) {}
};

// Rate switch or connect handshake failed: "Set Baudrate Failed", "Connecting Failed". The
// printer was never reached at the rate or in the mode the command needs.
class ESetBaudRateException : public EPrinterError {
 public:
  explicit ESetBaudRateException(const std::string& message, std::string cause = {})
      : EPrinterError(message, std::move(cause), FailureKind::Link) {}
};

// Opening a channel failed ("Error opening serial port", ...). `osError` keeps the errno of the
// failing call; the message stays the user's text. `reason` says why in words the user can act on
// (channels/OpenFailureReason.h builds it): the worker writes it to debug.log, plenar prints it
// on a second line under the message, the windows show it as a message box's detail text.
class ECommsError : public EPrinterError {
 public:
  explicit ECommsError(const std::string& message, int osError = 0, std::string reason = {})
      : EPrinterError(message, ErrorInfo{.kind = openFailureKind(osError),
                                         .detail = std::move(reason),
                                         .osError = osError}) {}
  const std::string& reason() const { return detail(); }
};

// The message of `e` followed by the cause it carries: "Set Baudrate Failed: switching to 115200
// bit/s: Download Data Failed".
std::string messageWithCause(const std::exception& e);
// The same for the exception being handled, in a catch block; for one that is no
// std::exception, a text saying so.
std::string currentFailure();

}  // namespace plenar
