// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace plenar {

// Bytes as lower-case hex digits, two per byte and nothing between: "1b40".
std::string lowerHex(std::string_view bytes);
std::string lowerHex(std::span<const std::uint8_t> bytes);

}  // namespace plenar
