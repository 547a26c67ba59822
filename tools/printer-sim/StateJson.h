// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "PrinterState.h"

namespace plenar::sim {

// The state file: settings (texts as UTF-8), written memory as ranges of hex, NV logos with their
// rasters, firmware (size, SHA-256, tag, and the image as hex up to kFirmwareHexLimit bytes).
nlohmann::json stateToJson(const PrinterState& state);
// Fills `state` from a state file's object; what the object lacks keeps its default.
void stateFromJson(const nlohmann::json& o, PrinterState& state);

// Replaces `path` atomically (temporary file in the same folder, then rename). False on failure.
bool saveStateFile(const std::string& path, const PrinterState& state);
// False when the file is missing or not a JSON object; `state` is then left as it was.
bool loadStateFile(const std::string& path, PrinterState& state);

inline constexpr std::size_t kFirmwareHexLimit = 1u << 20;
// The largest state file read: written memory is kept as hex, a few MiB at most.
inline constexpr std::size_t kMaxStateFileBytes = 256u << 20;

}  // namespace plenar::sim
