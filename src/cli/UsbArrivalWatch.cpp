// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/UsbArrivalWatch.h"

#include <algorithm>

#include "channels/UsbArrivals.h"
#include "engine/UsbDeviceList.h"

namespace plenar::cli {
namespace {

class UsbWatch : public ArrivalWatch {
 public:
  explicit UsbWatch(std::vector<std::string> filters)
      : arrivals_([filters = std::move(filters)](const std::vector<std::string>& present) {
          return usbBatchCandidates(present, filters);
        }) {}

  std::vector<LinkSnapshot> attachedNow() override {
    std::vector<LinkSnapshot> out;
    for (const auto& entry : arrivals_.attachedNow()) out.push_back(linkOf(entry));
    return out;
  }
  std::optional<LinkSnapshot> arrival() override {
    if (auto entry = arrivals_.arrival()) return linkOf(*entry);
    return std::nullopt;
  }
  bool gone(const LinkSnapshot& link) override { return arrivals_.gone(link.usbDevice); }

 private:
  static LinkSnapshot linkOf(const std::string& entry) {
    LinkSnapshot l;
    l.kind = LinkKind::Usb;
    l.usbDevice = entry;
    return l;
  }

  UsbArrivals arrivals_;
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
