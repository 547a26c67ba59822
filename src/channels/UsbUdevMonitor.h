#pragma once

#include <functional>
#include <memory>

namespace plenar {

// Watches udev for USB devices ("usb" subsystem, "usb_device" type) being added or removed, for a
// libusb built without hot-plug support. The monitor is enabled when the object is created.
// Threads: `onChange` runs on the monitor's own thread; construct and destroy on one thread.
class UsbUdevMonitor {
 public:
  // `onChange` (true: added) must only queue. Without udev the monitor reports nothing.
  explicit UsbUdevMonitor(std::function<void(bool added)> onChange);
  ~UsbUdevMonitor();  // stops and joins the thread
  UsbUdevMonitor(const UsbUdevMonitor&) = delete;
  UsbUdevMonitor& operator=(const UsbUdevMonitor&) = delete;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plenar
