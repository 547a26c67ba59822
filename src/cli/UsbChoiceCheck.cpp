// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/UsbChoiceCheck.h"

#include "channels/UsbChoice.h"

namespace plenar::cli {

void refuseAmbiguousUsbChoice(const CommonOptions& o) {
  if (!o.linkGiven || o.link.kind != LinkKind::Usb) return;
  if (splitUsbChoice(o.link.usbDevice).sub.empty()) return;  // the first of the model, as ever
  const auto entries = presentAmbiguousUsbChoice(o.link.usbDevice);
  if (entries.empty()) return;
  throw UsageError("--usb " + ambiguousUsbChoiceText(o.link.usbDevice, entries), "usb-ambiguous");
}

}  // namespace plenar::cli
