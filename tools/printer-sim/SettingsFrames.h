// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "PrinterState.h"

namespace plenar::sim {

// The stored-settings frames 0x79..0x91. A frame whose data does not have the layout of its
// command, or carries a value outside the command's codes, is refused: nothing is stored and the
// printer does not answer, so a wrong request shows up on the tool's side as a missing answer.
struct SettingResult {
  enum class Outcome { Stored, Refused, NotASetting };
  Outcome outcome = Outcome::NotASetting;
  std::string meaning;
};

SettingResult applySettingFrame(PrinterState& state, std::uint16_t command,
                                std::span<const std::uint8_t> data);
// The same printer refusing every setting frame (--refuse-settings); other commands are
// NotASetting.
SettingResult refuseSettingFrame(std::uint16_t command);

}  // namespace plenar::sim
