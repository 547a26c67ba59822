#pragma once

#include <stdexcept>
#include <string>

namespace plenar {

// A failure that carries a message for the user: the worker reports it as failure code 1 with
// exactly this text. Any other exception is failure code 2, "Undefined Error".
class EPrinterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
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

 private:
  int osError_;
  std::string reason_;
};

}  // namespace plenar
