// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "channels/LptAccess.h"
#include "channels/UniqueFd.h"

namespace plenar {

// Common mode: the printer port through the kernel's lp driver, /dev/lp(n-1), which hands the
// printer each byte with its own handshake. The registers are out of reach: setBit does nothing.
class LptDeviceAccess : public LptAccess {
 public:
  // Why an open failed: the errno, the channel's message and the reason for the detail text.
  struct Failure {
    int error = 0;
    std::string message;
    std::string reason;
  };

  // Opens LPT`portNo` and initialises the printer; nullptr with `failure` filled when the port
  // cannot be opened or set up. `writeStall` (the channel's, read under its lock) bounds how
  // long a write may find the printer busy, taking nothing.
  static std::unique_ptr<LptDeviceAccess> open(int portNo,
                                               const std::chrono::milliseconds& writeStall,
                                               Failure& failure);

  int handle() const override { return fd_.get(); }
  void write(const std::uint8_t* bytes, std::size_t count) override;
  std::uint8_t readStatus() override;
  void setBit(LptRegister, int, bool) override {}

 private:
  LptDeviceAccess(UniqueFd fd, std::string portName, const std::chrono::milliseconds& writeStall)
      : fd_(std::move(fd)), portName_(std::move(portName)), writeStall_(writeStall) {}
  [[noreturn]] void throwWriteError(const std::string& reason);

  UniqueFd fd_;
  std::string portName_;  // LPTn
  const std::chrono::milliseconds& writeStall_;
};

}  // namespace plenar
