// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <poll.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "channels/TUSBComm.h"
#include "devices/Testbed.h"
#include "devices/UsbPrinterDevice.h"
#include "platform/HeadlessDispatcher.h"

namespace plenar::test {

// A fresh testbed per test with virtual printers in this process (the test executable links the
// umockdev preload library, so libusb and libudev see the testbed), and an owner thread.
class UsbTestbed {
 public:
  UsbTestbed() { owner.start(); }
  ~UsbTestbed() { owner.stop(); }

  sim::UsbPrinterDevice& add(sim::UsbPrinterIdentity identity, bool plug = true) {
    printers.push_back(std::make_unique<sim::UsbPrinterDevice>(bed, std::move(identity)));
    if (plug) printers.back()->plug();
    return *printers.back();
  }

  // Collects what `device` received until `count` bytes are there or 10 s have passed.
  static std::vector<std::uint8_t> receive(sim::UsbPrinterDevice& device, std::size_t count) {
    std::vector<std::uint8_t> got;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (got.size() < count && std::chrono::steady_clock::now() < until) {
      pollfd p{device.receivedFd(), POLLIN, 0};
      ::poll(&p, 1, 100);
      auto more = device.takeReceived();
      got.insert(got.end(), more.begin(), more.end());
    }
    return got;
  }

  sim::Testbed bed;  // first: it sets UMOCKDEV_DIR before any libusb context exists
  std::vector<std::unique_ptr<sim::UsbPrinterDevice>> printers;
  HeadlessDispatcher owner;
};

// Records what a TUSBComm reports. Waits are bounded.
class UsbEvents {
 public:
  void bind(TUSBComm& usb) {
    usb.OnReceiveData = [this](TUSBComm&, const std::uint8_t* b, std::uint16_t n) {
      change([&] {
        data.insert(data.end(), b, b + n);
        chunks.push_back(n);
      });
    };
    usb.OnSendDataEmpty = [this](TUSBComm&) { change([&] { ++sendEmpty; }); };
    usb.OnUSBArrival = [this](TUSBComm&) { change([&] { ++arrivals; }); };
    usb.OnUSBRemove = [this](TUSBComm&) { change([&] { ++removals; }); };
  }
  bool waitUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout, done);
  }
  template <class F>
  auto read(F f) {
    std::lock_guard lock(mutex);
    return f();
  }

  std::vector<std::uint8_t> data;
  std::vector<std::size_t> chunks;
  int sendEmpty = 0;
  int arrivals = 0;
  int removals = 0;

 private:
  template <class F>
  void change(F f) {
    std::lock_guard lock(mutex);
    f();
    changed.notify_all();
  }
  std::mutex mutex;
  std::condition_variable changed;
};

}  // namespace plenar::test
