// SPDX-License-Identifier: GPL-3.0-or-later
#include "shared/HexText.h"

namespace plenar {

std::string lowerHex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

std::string lowerHex(std::string_view bytes) {
  return lowerHex(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                bytes.size()));
}

}  // namespace plenar
