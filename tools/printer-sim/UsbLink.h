// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "devices/UsbPrinterDevice.h"

namespace plenar::sim {

class Testbed;

// "1234:811E" -> identity with those codes (the other fields as default). Throws
// std::runtime_error naming `option`.
UsbPrinterIdentity parseUsbVidPid(const std::string& vidPid, const std::string& option = "--usb");

// The printer's USB port: a virtual USB printer (bulk OUT and IN) in a umockdev testbed, which it
// may share with other virtual devices of the printer. A tool running with the umockdev preload
// and UMOCKDEV_DIR set to the testbed's root sees it through libusb, plugged in at start. What the
// tool writes is read here; what is written here reaches the tool's pending bulk IN transfer.
// Threads: one thread at a time (the device answers the tool's ioctls on umockdev's thread).
class UsbLink {
 public:
  // "VID:PID" in hex, e.g. "1234:811E". Throws std::runtime_error. `testbed` outlives the link.
  UsbLink(Testbed& testbed, const std::string& vidPid);
  // A printer with this identity (codes, serial number, port); plugged in at once.
  UsbLink(Testbed& testbed, UsbPrinterIdentity identity);
  ~UsbLink();
  UsbLink(const UsbLink&) = delete;
  UsbLink& operator=(const UsbLink&) = delete;

  // The testbed the device lives in; other virtual devices of this process join it.
  Testbed& testbed() { return testbed_; }
  // Readable while the tool has written bytes that read() has not taken.
  int fd() const;
  std::vector<std::uint8_t> read();
  void write(std::span<const std::uint8_t> bytes);
  // A new device number at every plug; an unplug ends the tool's transfers with "no device".
  void plug();
  void unplug();
  bool plugged() const;

 private:
  Testbed& testbed_;
  std::unique_ptr<UsbPrinterDevice> device_;
};

}  // namespace plenar::sim
