// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CliArgs.h"

namespace plenar::cli {

// --usb with a third part that several present printers fit (a shared serial number written
// bare): UsageError naming them by their listed entries, before anything is sent. A choice that
// names one printer, or none (the open then says so), passes.
void refuseAmbiguousUsbChoice(const CommonOptions& o);

}  // namespace plenar::cli
