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
// failing call for the trace; the message stays the user's text.
class ECommsError : public EPrinterError {
 public:
  explicit ECommsError(const std::string& message, int osError = 0)
      : EPrinterError(message), osError_(osError) {}
  int osError() const { return osError_; }

 private:
  int osError_;
};

}  // namespace plenar
