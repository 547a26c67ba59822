// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The batch bench's arrival watches live in app/, shared with the window's batch dialog.
#include "app/BatchArrivals.h"

namespace plenar::cli {
using plenar::answersIdentify;
using plenar::ArrivalWatch;
using plenar::factoryAddressWatch;
using plenar::serialGlobWatch;
}  // namespace plenar::cli
