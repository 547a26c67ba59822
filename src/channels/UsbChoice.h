// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "channels/UsbDeviceSet.h"

namespace plenar {

// A chosen USB device as the channel selects it: VID_vid&PID_pid[&sub].
struct UsbChoiceParts {
  std::string vid, pid, sub;
};
UsbChoiceParts splitUsbChoice(const std::string& identifier);

// The present devices a choice fits, in the order an open tries them: every exact fit
// (usbDeviceFit), else every bare one. A third part that fits no device exactly but several bare
// (a serial number several printers share, or one that is another's bus-port) names none of
// them: `ambiguous`, and no candidate is tried, so a bench never sets up the wrong one of a row
// of printers. A two-part choice takes the first of its model, as it always did.
struct UsbChoice {
  std::vector<const UsbDeviceInfo*> candidates;
  std::vector<std::string> ambiguous;  // the entries an ambiguous third part fits; else empty
};
UsbChoice resolveUsbChoice(const std::vector<UsbDeviceInfo>& devices, const UsbChoiceParts& parts);

// The refusal of an ambiguous choice, naming the printers it fits by their listed entries.
std::string ambiguousUsbChoiceText(const std::string& identifier,
                                   const std::vector<std::string>& entries);

// The entries of the present USB devices an ambiguous `identifier` fits, from a libusb context
// of its own; empty when it names at most one, or when libusb cannot list (an open then says why).
std::vector<std::string> presentAmbiguousUsbChoice(const std::string& identifier);

}  // namespace plenar
