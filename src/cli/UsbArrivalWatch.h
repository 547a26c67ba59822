// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The USB arrival watch lives in app/, shared with the window's batch dialog.
#include "app/UsbArrivalWatch.h"
#include "cli/BatchArrivals.h"

namespace plenar::cli {
using plenar::usbArrivalWatch;
}  // namespace plenar::cli
