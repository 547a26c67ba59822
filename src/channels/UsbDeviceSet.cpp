// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/UsbDeviceSet.h"

#include <libusb.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

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
// lock, and libusb's own hot-plug thread uses it at the same time. The whole file is read, so a
// line break inside a serial number is mapped like any other byte instead of cutting it short.
std::string serialNumber(const std::string& busPort) {
  std::ifstream in("/sys/bus/usb/devices/" + busPort + "/serial", std::ios::binary);
  std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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

std::string usbSerialPart(const std::string& serial) {
  if (serial.empty()) return {};
  std::string out = "SN_";
  for (unsigned char c : serial) {
    if (std::isalnum(c) != 0 && c < 0x80) {
      out += static_cast<char>(std::toupper(c));
    } else if (c == '-' || c == '.' || c == '_') {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string usbPortPart(const std::string& busPort) {
  return "PORT_" + busPort;
}

void assignUsbEntries(std::vector<UsbDeviceInfo>& devices) {
  std::map<std::string, int> bySerial;
  for (const auto& d : devices) {
    if (!d.serial.empty()) ++bySerial[d.identifier + "&" + usbSerialPart(d.serial)];
  }
  for (auto& d : devices) {
    std::string third = usbSerialPart(d.serial);
    if (third.empty() || bySerial[d.identifier + "&" + third] > 1) third = usbPortPart(d.busPort);
    d.entry = d.identifier + "&" + third;
    d.path = "USB#" + d.identifier + "#" + third;
  }
}

UsbFit usbDeviceFit(const UsbDeviceInfo& info, const std::string& vid, const std::string& pid,
                    const std::string& sub) {
  char code[8];
  std::snprintf(code, sizeof code, "%04X", info.productId);
  if (pid.empty() || pid != code) return UsbFit::None;
  std::snprintf(code, sizeof code, "%04X", info.vendorId);
  if (!vid.empty() && vid != code) return UsbFit::None;
  if (sub.empty()) return UsbFit::Exact;
  const std::string wanted = upper(sub);
  const std::size_t second = info.entry.find('&', info.entry.find('&') + 1);
  if (second != std::string::npos &&
      info.entry.compare(second + 1, std::string::npos, wanted) == 0) {
    return UsbFit::Exact;
  }
  // The port names one device whether or not it also has a serial number to list it by.
  if (!info.busPort.empty() && wanted == upper(usbPortPart(info.busPort))) return UsbFit::Exact;
  const std::string serial = usbSerialPart(info.serial);
  if ((serial.size() > 3 && serial.compare(3, std::string::npos, wanted) == 0) ||
      (!info.busPort.empty() && upper(info.busPort) == wanted)) {
    return UsbFit::Bare;
  }
  return UsbFit::None;
}

bool usbDeviceMatches(const UsbDeviceInfo& info, const std::string& vid, const std::string& pid,
                      const std::string& sub) {
  return usbDeviceFit(info, vid, pid, sub) != UsbFit::None;
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
    info.busPort = busPort(list_[i]);
    info.serial = serialNumber(info.busPort);
    devices_.push_back(std::move(info));
  }
  assignUsbEntries(devices_);
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
    for (const auto& d : devices.devices()) out.push_back(d.entry);
  } catch (...) {
    libusb_exit(context);
    throw;
  }
  libusb_exit(context);
  return out;
}

}  // namespace plenar
