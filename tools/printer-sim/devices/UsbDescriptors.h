// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace plenar::sim {

// The descriptors a USB printer hands the host, as the hex text of the sysfs "descriptors" file
// that libusb reads: device (class in the interface), one configuration, one printer interface
// (class 7, subclass 1, protocol 2: bidirectional) with bulk OUT 0x01 and bulk IN 0x82 of 512
// bytes (high speed).
std::string usbPrinterDescriptorsHex(std::uint16_t vendorId, std::uint16_t productId,
                                     bool hasSerial);

}  // namespace plenar::sim
