// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/BatchArrivals.h"

namespace plenar {

// USB printers for the batch bench (UsbArrivals): a printer arrives when a device whose
// VID_xxxx&PID_yyyy contains one of `filters` (as the connection window's start-up list compares
// them) is plugged in; it is addressed by its three-part entry, so each one opened is exactly the
// one that came, and it is gone when that entry is no longer present.
// Throws ECommsError when libusb cannot start.
std::unique_ptr<ArrivalWatch> usbArrivalWatch(std::vector<std::string> filters);

}  // namespace plenar
