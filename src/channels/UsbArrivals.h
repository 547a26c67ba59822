// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/HeadlessDispatcher.h"

namespace plenar {

class UsbContext;

// USB printers arriving and leaving, by their listed entries (UsbDeviceInfo::entry), for a bench
// that sets up printer after printer. The device list is read again whenever libusb reports a USB
// device coming or going, and at least once a second. An entry arrives once it has been listed
// for `settle` (the system gives a new device node its permissions just after it appears), and
// is reported once until it has left.
// Threads: one thread; hot-plug reports come on a thread of this object's own.
class UsbArrivals {
 public:
  // The entries of the present ones that count (e.g. those a filter list selects), in order.
  using Select = std::function<std::vector<std::string>(const std::vector<std::string>&)>;
  static constexpr std::chrono::milliseconds kSettle{100};

  // Throws ECommsError when libusb cannot start.
  explicit UsbArrivals(Select select, std::chrono::milliseconds settle = kSettle);
  ~UsbArrivals();
  UsbArrivals(const UsbArrivals&) = delete;
  UsbArrivals& operator=(const UsbArrivals&) = delete;

  // The entries present now; they count as seen.
  std::vector<std::string> attachedNow();
  // An entry that arrived since it was last seen, or nullopt. Cheap when nothing changed.
  std::optional<std::string> arrival();
  // Whether `entry` has left (it may then arrive again).
  bool gone(const std::string& entry);

 private:
  bool due();
  std::vector<std::string> look();

  Select select_;
  std::chrono::milliseconds settle_;
  HeadlessDispatcher owner_;
  std::unique_ptr<UsbContext> context_;
  std::atomic<bool> changed_{false};
  std::chrono::steady_clock::time_point lastLook_{};
  std::set<std::string> seen_;
  std::map<std::string, std::chrono::steady_clock::time_point> settling_;  // listed since
};

}  // namespace plenar
