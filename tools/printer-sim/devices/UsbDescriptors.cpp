// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/UsbDescriptors.h"

#include <cstdio>
#include <vector>

namespace plenar::sim {

std::string usbPrinterDescriptorsHex(std::uint16_t vendorId, std::uint16_t productId,
                                     bool hasSerial) {
  auto lo = [](std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); };
  auto hi = [](std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); };
  const std::vector<std::uint8_t> bytes = {
      // device: USB 2.00, class per interface, EP0 64 bytes, strings 1 2 (3), one configuration
      0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40, lo(vendorId), hi(vendorId), lo(productId),
      hi(productId), 0x00, 0x01, 0x01, 0x02, static_cast<std::uint8_t>(hasSerial ? 0x03 : 0x00),
      0x01,
      // configuration 1: 32 bytes in all, one interface, self-powered, 100 mA
      0x09, 0x02, 0x20, 0x00, 0x01, 0x01, 0x00, 0xC0, 0x32,
      // interface 0: two endpoints, printer class
      0x09, 0x04, 0x00, 0x00, 0x02, 0x07, 0x01, 0x02, 0x00,
      // bulk OUT 0x01 and bulk IN 0x82, 512 bytes
      0x07, 0x05, 0x01, 0x02, 0x00, 0x02, 0x00, 0x07, 0x05, 0x82, 0x02, 0x00, 0x02, 0x00};
  std::string hex;
  char two[3];
  for (std::uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02x", b);
    hex += two;
  }
  return hex;
}

}  // namespace plenar::sim
