// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/UsbArrivalWatch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <set>

#include "channels/UsbContext.h"
#include "channels/UsbDeviceSet.h"
#include "engine/UsbDeviceList.h"
#include "platform/HeadlessDispatcher.h"

namespace plenar::cli {
namespace {

using Clock = std::chrono::steady_clock;

// A look without a hot-plug report, in case one was missed.
constexpr std::chrono::seconds kLookAnyway{1};
// A printer is reported once it has been listed this long: the system gives the device node its
// permissions (udev rules) just after the device appears, and a printer that was only brushed
// against the socket is not worth a serial number.
constexpr std::chrono::milliseconds kSettle{100};

class UsbWatch : public ArrivalWatch {
 public:
  explicit UsbWatch(std::vector<std::string> filters) : filters_(std::move(filters)) {
    owner_.start();
    context_ = std::make_unique<UsbContext>(owner_, [this](bool) { changed_ = true; });
  }
  ~UsbWatch() override {
    context_.reset();
    owner_.stop();
  }

  std::vector<LinkSnapshot> attachedNow() override {
    std::vector<LinkSnapshot> out;
    for (const auto& entry : look()) {
      seen_.insert(entry);
      out.push_back(linkOf(entry));
    }
    return out;
  }

  std::optional<LinkSnapshot> arrival() override {
    const bool due =
        changed_.exchange(false) || !settling_.empty() || Clock::now() - lastLook_ >= kLookAnyway;
    if (!due) return std::nullopt;
    const std::vector<std::string> now = look();
    // A printer that left is forgotten: when it comes back it is a new arrival.
    for (auto it = seen_.begin(); it != seen_.end();) {
      it = std::find(now.begin(), now.end(), *it) == now.end() ? seen_.erase(it) : std::next(it);
    }
    for (auto it = settling_.begin(); it != settling_.end();) {
      it = std::find(now.begin(), now.end(), it->first) == now.end() ? settling_.erase(it)
                                                                     : std::next(it);
    }
    for (const auto& entry : now) {
      if (seen_.count(entry)) continue;
      const auto since = settling_.emplace(entry, lastLook_).first->second;
      if (lastLook_ - since < kSettle) continue;
      settling_.erase(entry);
      seen_.insert(entry);
      return linkOf(entry);
    }
    return std::nullopt;
  }

  bool gone(const LinkSnapshot& link) override {
    if (!changed_.exchange(false) && Clock::now() - lastLook_ < kLookAnyway) return false;
    const std::vector<std::string> now = look();
    if (std::find(now.begin(), now.end(), link.usbDevice) != now.end()) return false;
    seen_.erase(link.usbDevice);
    return true;
  }

 private:
  std::vector<std::string> look() {
    lastLook_ = Clock::now();
    UsbDeviceSet devices(context_->get());
    std::vector<std::string> entries;
    for (const auto& d : devices.devices()) entries.push_back(d.entry);
    return usbBatchCandidates(entries, filters_);
  }
  static LinkSnapshot linkOf(const std::string& entry) {
    LinkSnapshot l;
    l.kind = LinkKind::Usb;
    l.usbDevice = entry;
    return l;
  }

  std::vector<std::string> filters_;
  HeadlessDispatcher owner_;
  std::unique_ptr<UsbContext> context_;
  std::atomic<bool> changed_{false};
  Clock::time_point lastLook_{};
  std::set<std::string> seen_;
  std::map<std::string, Clock::time_point> settling_;  // listed, not yet reported: since when
};

}  // namespace

std::vector<std::string> usbBatchCandidates(const std::vector<std::string>& present,
                                            const std::vector<std::string>& filters) {
  std::vector<std::string> out;
  for (auto& entry : usbDevicesAtStart(present, filters)) {
    // The window lists an entry once per filter it contains; a printer is set up once.
    if (std::find(out.begin(), out.end(), entry) == out.end()) out.push_back(entry);
  }
  return out;
}

std::unique_ptr<ArrivalWatch> usbArrivalWatch(std::vector<std::string> filters) {
  return std::make_unique<UsbWatch>(std::move(filters));
}

}  // namespace plenar::cli
