// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct libusb_context;
struct libusb_device;

namespace plenar {

// One present USB device as the channel lists and matches it.
struct UsbDeviceInfo {
  libusb_device* device = nullptr;  // valid while its UsbDeviceSet lives
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::string identifier;  // VID_xxxx&PID_yyyy, upper-case hex
  std::string path;        // USB#VID_xxxx&PID_yyyy#<serial, or bus-port such as 1-2.3>, upper-cased
};

// "VID_1234&PID_811E".
std::string usbIdentifier(std::uint16_t vendorId, std::uint16_t productId);
// The matching path of a device: the serial number when it has one, else its bus-port.
std::string usbDevicePath(std::uint16_t vendorId, std::uint16_t productId,
                          const std::string& serial, const std::string& busPort);

// Whether `info` is the device chosen as VID_vid&PID_pid[&sub]: the codes are compared whole
// with the device's upper-case hex codes (as written: "811e" matches nothing), an empty `vid`
// accepts any vendor, an empty `pid` matches no device, and a third part, when given, must equal
// the path's last part (the serial number, or the bus-port of a device without one).
bool usbDeviceMatches(const UsbDeviceInfo& info, const std::string& vid, const std::string& pid,
                      const std::string& sub);

// The identifiers of the USB devices present now (VID_xxxx&PID_yyyy), in enumeration order, from
// a libusb context of their own: the device list without a channel. Throws ECommsError("Failed
// to open handle to HID device set") when libusb cannot start or list.
std::vector<std::string> presentUsbDevices();

// The USB devices present now, in libusb's enumeration order; frees the list when destroyed.
// Serial numbers come from sysfs, so listing opens no device.
// Threads: one thread at a time; libusb itself may be used from other threads meanwhile.
class UsbDeviceSet {
 public:
  // Throws ECommsError("Failed to open handle to HID device set") when libusb cannot list.
  explicit UsbDeviceSet(libusb_context* context);
  ~UsbDeviceSet();
  UsbDeviceSet(const UsbDeviceSet&) = delete;
  UsbDeviceSet& operator=(const UsbDeviceSet&) = delete;

  const std::vector<UsbDeviceInfo>& devices() const { return devices_; }

 private:
  libusb_device** list_ = nullptr;
  std::vector<UsbDeviceInfo> devices_;
};

}  // namespace plenar
