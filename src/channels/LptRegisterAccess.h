// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "channels/LptAccess.h"
#include "channels/TLptDriver.h"

namespace plenar {

// Direct mode: the port's data, status and control registers through ppdev (TLptDriver), each
// byte put on the data lines and latched with a strobe pulse of our own.
class LptRegisterAccess : public LptAccess {
 public:
  // Opens and claims /dev/parport(portNo-1); throws TLptDriver's "Create service failed." or
  // "Start service failed.".
  explicit LptRegisterAccess(int portNo);

  int handle() const override { return driver_.handle(); }
  // Data first, then a strobe pulse; there is no wait for the printer's acknowledge.
  void write(const std::uint8_t* bytes, std::size_t count) override;
  std::uint8_t readStatus() override { return driver_.readRegister(LptRegister::Status); }
  // The status register is input only: setting its bits does nothing.
  void setBit(LptRegister reg, int bit, bool on) override;

 private:
  TLptDriver driver_;  // released and closed with the access
};

}  // namespace plenar
