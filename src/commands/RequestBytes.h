// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/CommandRequest.h"

namespace plenar {

// What a settings command puts on the wire for its request once the link is open (the open
// step's rate switch and identify request, and the device-rate restore, are not included). The
// routines send exactly these; `plenar apply --plan` shows them without sending.
using WireBytes = std::vector<std::uint8_t>;

// The frame command of a framed settings code (6 -> 0x80, 8 -> 0x81, 20 -> 0x82, ...);
// nullopt for a code that is not one.
std::optional<std::uint16_t> settingsFrameCommand(int code);

// The raw sequence of a direct-control code (black mark, Ethernet, Bluetooth hiding, device
// options, test page); nullopt for a code that is not one, or a device option (code 23) other
// than 0..2. Bytes of the request block that were not set count as 0.
std::optional<WireBytes> directSequence(const CommandRequest& request);

// Every message the request's command sends, in order: one frame per settings request (one per
// module command line for code 22), or the raw sequence. Empty for codes that transfer files or
// run the boot handshake: their bytes depend on the printer's answers.
std::vector<WireBytes> requestWireBytes(const CommandRequest& request);

}  // namespace plenar
