// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "engine/CommandRequest.h"

namespace plenar {

// Small helpers the builders share to fill a request and its block.
inline CommandRequest makeRequest(int code, std::int32_t value1 = 0, std::int32_t value2 = 0) {
  CommandRequest r;
  r.code = code;
  r.value1 = value1;
  r.value2 = value2;
  return r;
}

inline void appendBytes(CommandRequest& r, std::initializer_list<std::uint8_t> bytes) {
  r.paraBuf.insert(r.paraBuf.end(), bytes.begin(), bytes.end());
}

inline void appendText(CommandRequest& r, std::string_view bytes) {
  r.paraBuf.insert(r.paraBuf.end(), bytes.begin(), bytes.end());
}

inline void appendLe32(CommandRequest& r, std::uint32_t v) {
  appendBytes(r, {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                  static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)});
}

}  // namespace plenar
