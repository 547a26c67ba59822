// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#include "channels/TLptDriver.h"

namespace plenar {

// How an open parallel channel reaches its port; the channel picks one at open, by its mode:
// LptDeviceAccess goes through the kernel's lp driver (common mode), LptRegisterAccess drives
// the port's registers through ppdev (direct mode).
// Threads: the parallel channel's, under its lock.
class LptAccess {
 public:
  virtual ~LptAccess() = default;
  // The open descriptor.
  virtual int handle() const = 0;
  // Hands the bytes to the printer in order. Throws ECommunicationException (or ECommsError
  // from a register access) when the port or the printer refuses them.
  virtual void write(const std::uint8_t* bytes, std::size_t count) = 0;
  // The status register: bit 7 set is not busy, 5 paper out, 4 selected, 3 no error.
  virtual std::uint8_t readStatus() = 0;
  // Sets or clears one bit of a register; nothing where the port's registers are out of reach.
  virtual void setBit(LptRegister reg, int bit, bool on) = 0;
};

}  // namespace plenar
