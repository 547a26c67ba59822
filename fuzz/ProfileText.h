// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plenar::fuzz {

// UTF-8 as the profile reader decides it (any well-formed sequence of 1 to 4 bytes).
inline bool utf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    const std::size_t more = c < 0x80         ? 0
                             : (c >> 5) == 6  ? 1
                             : (c >> 4) == 14 ? 2
                             : (c >> 3) == 30 ? 3
                                              : 9;
    if (more == 9 || bytes.size() - i <= more) return false;
    for (std::size_t k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) >> 6) != 2) return false;
    }
    i += more + 1;
  }
  return true;
}

inline bool ascii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The lines of a profile that hold data: the reader decides the encoding from these, not from
// comments (nor from a byte-order mark).
inline std::string dataLines(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  std::string out;
  for (std::size_t pos = 0; pos < bytes.size();) {
    std::size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view line = bytes.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t first = line.find_first_not_of(" \t\r\v\f");
    if (first != std::string_view::npos && line[first] != ';' && line[first] != '#') {
      out.append(line).push_back('\n');
    }
  }
  return out;
}

}  // namespace plenar::fuzz
