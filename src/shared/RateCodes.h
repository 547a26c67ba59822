// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace plenar {

// The printer's one-byte code for a serial rate (also called BaudIndex).
struct RateCode {
  int rate;
  std::uint8_t code;
};

// The nine rates both rate boxes offer, in the boxes' order.
inline constexpr std::array<RateCode, 9> kRateCodes{{{1200, 5},
                                                     {2400, 6},
                                                     {4800, 7},
                                                     {9600, 0},
                                                     {19200, 1},
                                                     {38400, 2},
                                                     {57600, 3},
                                                     {115200, 4},
                                                     {230400, 8}}};

// nullopt for a rate the printer has no code for: nothing undefined may be sent.
std::optional<std::uint8_t> rateToCode(int rate);
std::optional<int> codeToRate(int code);

}  // namespace plenar
