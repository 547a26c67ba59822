// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace plenar {

enum class DeviceKind { Serial, Usb, Parallel };

// Why the system refused to open `device`, for the reason line of an ECommsError: the system's
// own text for `osError`, then what to do about it. Permission denied names the group or udev
// rule that grants access, busy says another program holds the device, missing says it does not
// exist. Empty when `osError` is 0.
std::string openFailureReason(DeviceKind kind, const std::string& device, int osError);

}  // namespace plenar
