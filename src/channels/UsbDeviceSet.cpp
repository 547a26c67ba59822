// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/UsbDeviceSet.h"

#include <libusb.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

#include "shared/Errors.h"

namespace plenar {
namespace {

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

// The serial number from sysfs (/sys/bus/usb/devices/<bus-port>/serial), "" when the device
// has none. Read directly rather than through libudev: libudev reseeds shared hash keys without a
// lock, and libusb's own hot-plug thread uses it at the same time.
std::string serialNumber(const std::string& busPort) {
  std::ifstream in("/sys/bus/usb/devices/" + busPort + "/serial");
  std::string s;
  std::getline(in, s);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
  return s;
}

std::string busPort(libusb_device* device) {
  std::uint8_t ports[8];
  const int n = libusb_get_port_numbers(device, ports, sizeof ports);
  std::string text = std::to_string(libusb_get_bus_number(device));
  for (int i = 0; i < n; ++i) text += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
  return text;
}

}  // namespace

std::string usbIdentifier(std::uint16_t vendorId, std::uint16_t productId) {
  char text[20];
  std::snprintf(text, sizeof text, "VID_%04X&PID_%04X", vendorId, productId);
  return text;
}

std::string usbDevicePath(std::uint16_t vendorId, std::uint16_t productId,
                          const std::string& serial, const std::string& busPort) {
  return upper("USB#" + usbIdentifier(vendorId, productId) + "#" +
               (serial.empty() ? busPort : serial));
}

bool usbDeviceMatches(const UsbDeviceInfo& info, const std::string& vid, const std::string& pid,
                      const std::string& sub) {
  char code[8];
  std::snprintf(code, sizeof code, "%04X", info.productId);
  if (pid.empty() || pid != code) return false;
  std::snprintf(code, sizeof code, "%04X", info.vendorId);
  if (!vid.empty() && vid != code) return false;
  if (sub.empty()) return true;
  const std::size_t last = info.path.rfind('#');
  return last != std::string::npos &&
         info.path.compare(last + 1, std::string::npos, upper(sub)) == 0;
}

UsbDeviceSet::UsbDeviceSet(libusb_context* context) {
  const ssize_t n = libusb_get_device_list(context, &list_);
  if (n < 0) throw ECommsError("Failed to open handle to HID device set");
  for (ssize_t i = 0; i < n; ++i) {
    libusb_device_descriptor d{};
    if (libusb_get_device_descriptor(list_[i], &d) != LIBUSB_SUCCESS) continue;
    UsbDeviceInfo info;
    info.device = list_[i];
    info.vendorId = d.idVendor;
    info.productId = d.idProduct;
    info.identifier = usbIdentifier(d.idVendor, d.idProduct);
    const std::string where = busPort(list_[i]);
    info.path = usbDevicePath(d.idVendor, d.idProduct, serialNumber(where), where);
    devices_.push_back(std::move(info));
  }
}

UsbDeviceSet::~UsbDeviceSet() {
  if (list_ != nullptr) libusb_free_device_list(list_, 1);
}

std::vector<std::string> presentUsbDevices() {
  libusb_context* context = nullptr;
  if (libusb_init(&context) != LIBUSB_SUCCESS) {
    throw ECommsError("Failed to open handle to HID device set");
  }
  std::vector<std::string> out;
  try {
    UsbDeviceSet devices(context);
    for (const auto& d : devices.devices()) out.push_back(d.identifier);
  } catch (...) {
    libusb_exit(context);
    throw;
  }
  libusb_exit(context);
  return out;
}

}  // namespace plenar
