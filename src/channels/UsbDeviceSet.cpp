#include "channels/UsbDeviceSet.h"

#include <libudev.h>
#include <libusb.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <utility>

#include "channels/UdevPtr.h"
#include "shared/Errors.h"

namespace plenar {
namespace {

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

// Serial numbers by (bus, device number), read from sysfs through udev.
std::map<std::pair<int, int>, std::string> serialNumbers() {
  std::map<std::pair<int, int>, std::string> out;
  UdevPtr u(udev_new());
  if (!u) return out;
  UdevEnumeratePtr e(udev_enumerate_new(u.get()));
  if (!e) return out;
  udev_enumerate_add_match_subsystem(e.get(), "usb");
  udev_enumerate_add_match_property(e.get(), "DEVTYPE", "usb_device");
  udev_enumerate_scan_devices(e.get());
  for (udev_list_entry* entry = udev_enumerate_get_list_entry(e.get()); entry != nullptr;
       entry = udev_list_entry_get_next(entry)) {
    UdevDevicePtr d(udev_device_new_from_syspath(u.get(), udev_list_entry_get_name(entry)));
    if (!d) continue;
    const char* bus = udev_device_get_sysattr_value(d.get(), "busnum");
    const char* dev = udev_device_get_sysattr_value(d.get(), "devnum");
    const char* serial = udev_device_get_sysattr_value(d.get(), "serial");
    if (bus == nullptr || dev == nullptr || serial == nullptr) continue;
    std::string s = serial;
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
    out[{std::atoi(bus), std::atoi(dev)}] = s;
  }
  return out;
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

UsbDeviceSet::UsbDeviceSet(libusb_context* context) {
  const ssize_t n = libusb_get_device_list(context, &list_);
  if (n < 0) throw ECommsError("Failed to open handle to HID device set");
  const auto serials = serialNumbers();
  for (ssize_t i = 0; i < n; ++i) {
    libusb_device_descriptor d{};
    if (libusb_get_device_descriptor(list_[i], &d) != LIBUSB_SUCCESS) continue;
    UsbDeviceInfo info;
    info.device = list_[i];
    info.vendorId = d.idVendor;
    info.productId = d.idProduct;
    info.identifier = usbIdentifier(d.idVendor, d.idProduct);
    auto s = serials.find({libusb_get_bus_number(list_[i]), libusb_get_device_address(list_[i])});
    info.path = usbDevicePath(d.idVendor, d.idProduct, s != serials.end() ? s->second : "",
                              busPort(list_[i]));
    devices_.push_back(std::move(info));
  }
}

UsbDeviceSet::~UsbDeviceSet() {
  if (list_ != nullptr) libusb_free_device_list(list_, 1);
}

}  // namespace plenar
