// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace plenar {

// Passwords reach the printer and nothing else: traces and outputs show a block with the bytes
// of each secret masked and every other byte as it is, at the same offsets.

// For each byte of `bytes`, whether it lies inside an occurrence of one of `secrets` (the
// secrets as they go out on the wire; empty ones are ignored).
std::vector<bool> secretPositions(std::span<const std::uint8_t> bytes,
                                  const std::vector<std::string>& secrets);

// The bytes as upper-case hex pairs separated by blanks, a secret's bytes as "**".
std::string maskedHex(std::span<const std::uint8_t> bytes, const std::vector<std::string>& secrets);

// `text` with every occurrence of a secret replaced by as many '*'.
std::string maskedText(std::string text, const std::vector<std::string>& secrets);

}  // namespace plenar
