// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "channels/UniqueFd.h"

namespace plenar {

// The parallel port's three registers, at offsets 0, 1 and 2 from its I/O base.
enum class LptRegister { Data = 0, Status = 1, Control = 2 };

// Raw register access to a parallel port for direct mode, through the kernel's ppdev driver
// (/dev/parport(n-1)): opening the device and claiming the port takes the place of installing
// and starting a port-I/O driver service. Nothing is installed or loaded.
// Threads: one thread at a time (the thread that opens the parallel channel).
class TLptDriver {
 public:
  TLptDriver() = default;
  // Releases and closes an open port.
  ~TLptDriver();
  TLptDriver(const TLptDriver&) = delete;
  TLptDriver& operator=(const TLptDriver&) = delete;

  // The port that OpenDriver opens: LPTn is /dev/parport(n-1). Takes effect at the next open.
  void setPortNumber(int number) { portNumber_ = number; }
  int portNumber() const { return portNumber_; }

  // Opens /dev/parport(n-1) and claims it; returns the open descriptor. An open device returns
  // its descriptor again without a second claim. Throws ECommsError "Create service failed."
  // when the device is missing or cannot be opened, "Start service failed." when the claim is
  // refused (another program holds the port); the error's osError keeps the errno.
  int OpenDriver();
  // Releases the claim and closes the device; nothing when it is not open.
  void CloseDriver();
  int handle() const { return fd_.get(); }
  bool isOpen() const { return fd_.valid(); }

  // Register access of an open, claimed port. The status register is read-only on the port:
  // writing it does nothing. Throws ECommsError with the system's text when ppdev refuses.
  std::uint8_t readRegister(LptRegister reg) const;
  void writeRegister(LptRegister reg, std::uint8_t value) const;

 private:
  int portNumber_ = 1;
  UniqueFd fd_;
};

}  // namespace plenar
