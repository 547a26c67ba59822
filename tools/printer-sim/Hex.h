// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plenar::sim {

// Lower-case hex digits, two per byte, nothing between them.
std::string toHex(std::span<const std::uint8_t> bytes);
// The reverse of toHex (upper or lower case); nullopt for an odd length or a non-hex digit.
std::optional<std::vector<std::uint8_t>> fromHex(std::string_view hex);

}  // namespace plenar::sim
