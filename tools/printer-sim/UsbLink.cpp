// SPDX-License-Identifier: GPL-3.0-or-later
#include "UsbLink.h"

#include <charconv>
#include <stdexcept>

#include "devices/Testbed.h"

namespace plenar::sim {
namespace {

std::uint16_t hexId(const std::string& text, const std::string& whole, const std::string& option) {
  unsigned value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (text.empty() || text.size() > 4 || ec != std::errc() || end != text.data() + text.size()) {
    throw std::runtime_error(option + " needs VID:PID in hex, not '" + whole + "'");
  }
  return static_cast<std::uint16_t>(value);
}

}  // namespace

UsbPrinterIdentity parseUsbVidPid(const std::string& vidPid, const std::string& option) {
  const auto colon = vidPid.find(':');
  if (colon == std::string::npos) {
    throw std::runtime_error(option + " needs VID:PID in hex, not '" + vidPid + "'");
  }
  UsbPrinterIdentity id;
  id.vendorId = hexId(vidPid.substr(0, colon), vidPid, option);
  id.productId = hexId(vidPid.substr(colon + 1), vidPid, option);
  return id;
}

UsbLink::UsbLink(Testbed& testbed, const std::string& vidPid)
    : UsbLink(testbed, parseUsbVidPid(vidPid)) {}

UsbLink::UsbLink(Testbed& testbed, UsbPrinterIdentity identity) : testbed_(testbed) {
  device_ = std::make_unique<UsbPrinterDevice>(testbed, std::move(identity));
  device_->plug();
}

UsbLink::~UsbLink() = default;

int UsbLink::fd() const {
  return device_->receivedFd();
}

std::vector<std::uint8_t> UsbLink::read() {
  return device_->takeReceived();
}

void UsbLink::write(std::span<const std::uint8_t> bytes) {
  device_->send(bytes);
}

void UsbLink::plug() {
  device_->plug();
}

void UsbLink::unplug() {
  device_->unplug();
}

bool UsbLink::plugged() const {
  return device_->plugged();
}

}  // namespace plenar::sim
