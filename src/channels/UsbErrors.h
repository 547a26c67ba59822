// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace plenar {

// The errno a libusb code stands for (EACCES, EBUSY, ENODEV, ENOENT, ETIMEDOUT, else EIO), for
// openFailureReason().
int usbErrno(int libusbCode);

// "USB error on device 1234:811e: <what>: LIBUSB_ERROR_ACCESS [-3]", for the trace and the
// plenar command; the windows keep showing the user's texts ("Error open USB DEVICE ").
std::string usbErrorText(int libusbCode, const std::string& what, std::uint16_t vendorId,
                         std::uint16_t productId);

}  // namespace plenar
