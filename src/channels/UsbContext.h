// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

struct libusb_context;

namespace plenar {

class OwnerDispatcher;

// One libusb context with its event thread, and the watch for USB devices coming and going.
// The event thread runs every transfer callback of the context and blocks in poll() while
// nothing happens. Arrivals and removals of any USB device are queued by the watching thread
// and handed to `onChange` (true: arrived) on the owner thread, one drain per burst.
// Threads: construct and destroy on one thread; get() from any thread; `onChange` runs on the
// owner thread and never after the destructor has returned.
class UsbContext {
 public:
  using ChangeHandler = std::function<void(bool arrived)>;

  // Throws ECommsError("Failed to open handle to HID device set") when libusb cannot start.
  UsbContext(OwnerDispatcher& owner, ChangeHandler onChange);
  // Stops the watch and the event thread (in that order), then frees the context.
  ~UsbContext();
  UsbContext(const UsbContext&) = delete;
  UsbContext& operator=(const UsbContext&) = delete;

  libusb_context* get() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plenar
