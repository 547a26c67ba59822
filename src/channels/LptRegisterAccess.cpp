// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/LptRegisterAccess.h"

namespace plenar {
namespace {

constexpr std::uint8_t kStrobe = 0x01;  // control bit 0 drives pin 1

}  // namespace

LptRegisterAccess::LptRegisterAccess(int portNo) {
  driver_.setPortNumber(portNo);
  driver_.OpenDriver();
}

void LptRegisterAccess::write(const std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    // The printer latches the byte on the strobe.
    driver_.writeRegister(LptRegister::Data, bytes[i]);
    const std::uint8_t control = driver_.readRegister(LptRegister::Control);
    driver_.writeRegister(LptRegister::Control, control | kStrobe);
    driver_.writeRegister(LptRegister::Control, control & ~kStrobe);
  }
}

void LptRegisterAccess::setBit(LptRegister reg, int bit, bool on) {
  std::uint8_t value = driver_.readRegister(reg);
  const auto mask = static_cast<std::uint8_t>(1u << bit);
  value = on ? (value | mask) : (value & ~mask);
  driver_.writeRegister(reg, value);
}

}  // namespace plenar
