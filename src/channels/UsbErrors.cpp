// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/UsbErrors.h"

#include <libusb.h>

#include <cerrno>
#include <cstdio>

namespace plenar {

int usbErrno(int libusbCode) {
  switch (static_cast<libusb_error>(libusbCode)) {
    case LIBUSB_SUCCESS:
      return 0;
    case LIBUSB_ERROR_ACCESS:
      return EACCES;
    case LIBUSB_ERROR_BUSY:
      return EBUSY;
    case LIBUSB_ERROR_NO_DEVICE:
      return ENODEV;
    case LIBUSB_ERROR_NOT_FOUND:
      return ENOENT;
    case LIBUSB_ERROR_TIMEOUT:
      return ETIMEDOUT;
    case LIBUSB_ERROR_NO_MEM:
      return ENOMEM;
    case LIBUSB_ERROR_IO:
    case LIBUSB_ERROR_INVALID_PARAM:
    case LIBUSB_ERROR_OVERFLOW:
    case LIBUSB_ERROR_PIPE:
    case LIBUSB_ERROR_INTERRUPTED:
    case LIBUSB_ERROR_NOT_SUPPORTED:
    case LIBUSB_ERROR_OTHER:
      return EIO;
  }
  return EIO;
}

std::string usbErrorText(int libusbCode, const std::string& what, std::uint16_t vendorId,
                         std::uint16_t productId) {
  char text[160];
  std::snprintf(text, sizeof text, "USB error on device %04x:%04x: %s: %s [%d]", vendorId,
                productId, what.c_str(), libusb_error_name(libusbCode), libusbCode);
  return text;
}

}  // namespace plenar
