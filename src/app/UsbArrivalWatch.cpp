// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/UsbArrivalWatch.h"

#include "channels/UsbArrivals.h"
#include "engine/UsbDeviceList.h"

namespace plenar {
namespace {

class UsbWatch : public ArrivalWatch {
 public:
  explicit UsbWatch(std::vector<std::string> filters)
      : arrivals_([filters = std::move(filters)](const std::vector<std::string>& present) {
          return usbPrintersForBench(present, filters);
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

std::unique_ptr<ArrivalWatch> usbArrivalWatch(std::vector<std::string> filters) {
  return std::make_unique<UsbWatch>(std::move(filters));
}

}  // namespace plenar
