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
  // VID_xxxx&PID_yyyy&<third part>: what lists show and what a three-part choice names. The third
  // part is SN_<serial number> (usbSerialPart) or, for a device without a serial number or one
  // whose serial number another present device of the same codes also has, PORT_<bus-port>. No
  // two present devices share an entry.
  std::string entry;
  std::string serial;   // as the device reports it; "" when it has none
  std::string busPort;  // bus number and port path, e.g. "1-2.3"
  std::string path;     // USB#VID_xxxx&PID_yyyy#<third part>, for messages
};

// "VID_1234&PID_811E".
std::string usbIdentifier(std::uint16_t vendorId, std::uint16_t productId);
// The third part naming a device by its serial number: "SN_" and the serial number upper-cased,
// every byte other than A-Z, 0-9, "-", "." and "_" written as %XX (upper-case hex), so that a
// serial number can put neither "&" nor "#" (nor blanks, control or shell characters) into an
// entry. "" for an empty serial number.
std::string usbSerialPart(const std::string& serial);
// "PORT_1-2.3".
std::string usbPortPart(const std::string& busPort);
// Fills entry and path of every device: SN_ when the device has a serial number that no other
// present device of the same codes shares (compared as mapped), else PORT_.
void assignUsbEntries(std::vector<UsbDeviceInfo>& devices);

// How well `info` fits the choice VID_vid&PID_pid[&sub]. The codes are compared whole with the
// device's upper-case hex codes (as written: "811e" matches nothing), an empty `vid` accepts any
// vendor, an empty `pid` matches no device. Without `sub` every device with the codes fits
// exactly. A `sub` (compared upper-cased) fits exactly when it is the entry's third part or
// PORT_<bus-port> of the device (listed by its serial number or not); it
// fits as `Bare` when it is the mapped serial number or the bus-port without prefix, the form
// earlier versions accepted. An open takes the first exact fit, else the first bare one.
enum class UsbFit { None, Bare, Exact };
UsbFit usbDeviceFit(const UsbDeviceInfo& info, const std::string& vid, const std::string& pid,
                    const std::string& sub);
// Whether `info` fits at all.
bool usbDeviceMatches(const UsbDeviceInfo& info, const std::string& vid, const std::string& pid,
                      const std::string& sub);

// The entries of the USB devices present now (VID_xxxx&PID_yyyy&<third part>), in enumeration
// order, from a libusb context of their own: the device list without a channel. Throws
// ECommsError("Failed to open handle to HID device set") when libusb cannot start or list.
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
