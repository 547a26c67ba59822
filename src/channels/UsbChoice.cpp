// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/UsbChoice.h"

#include <libusb.h>

#include "shared/Errors.h"

namespace plenar {

UsbChoiceParts splitUsbChoice(const std::string& identifier) {
  std::vector<std::string> parts;
  for (std::size_t at = 0;;) {
    const std::size_t amp = identifier.find('&', at);
    parts.push_back(identifier.substr(at, amp == std::string::npos ? amp : amp - at));
    if (amp == std::string::npos) break;
    at = amp + 1;
  }
  UsbChoiceParts out;
  if (parts.size() >= 2) {
    out.vid = parts[0].size() > 4 ? parts[0].substr(4) : "";
    out.pid = parts[1].size() > 4 ? parts[1].substr(4) : "";
  }
  if (parts.size() == 3) out.sub = parts[2];
  return out;
}

UsbChoice resolveUsbChoice(const std::vector<UsbDeviceInfo>& devices, const UsbChoiceParts& parts) {
  UsbChoice out;
  std::vector<const UsbDeviceInfo*> bare;
  for (const UsbDeviceInfo& info : devices) {
    const UsbFit fit = usbDeviceFit(info, parts.vid, parts.pid, parts.sub);
    if (fit == UsbFit::Exact) out.candidates.push_back(&info);
    if (fit == UsbFit::Bare) bare.push_back(&info);
  }
  if (!out.candidates.empty()) return out;
  if (bare.size() > 1 && !parts.sub.empty()) {
    for (const UsbDeviceInfo* info : bare) out.ambiguous.push_back(info->entry);
    return out;
  }
  out.candidates = std::move(bare);
  return out;
}

std::string ambiguousUsbChoiceText(const std::string& identifier,
                                   const std::vector<std::string>& entries) {
  std::string text =
      "\"" + identifier + "\" names " + std::to_string(entries.size()) + " present USB printers (";
  for (std::size_t i = 0; i < entries.size(); ++i) text += (i ? ", " : "") + entries[i];
  return text + "); choose one by the entry list-usb shows for it";
}

std::vector<std::string> presentAmbiguousUsbChoice(const std::string& identifier) {
  libusb_context* context = nullptr;
  if (libusb_init(&context) != LIBUSB_SUCCESS) return {};
  std::vector<std::string> out;
  try {
    UsbDeviceSet devices(context);
    out = resolveUsbChoice(devices.devices(), splitUsbChoice(identifier)).ambiguous;
  } catch (const ECommsError&) {
    // Not listed now: the open reports it.
  }
  libusb_exit(context);
  return out;
}

}  // namespace plenar
