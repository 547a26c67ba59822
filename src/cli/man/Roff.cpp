// SPDX-License-Identifier: GPL-3.0-or-later
#include "Roff.h"

#include <cstdio>
#include <set>

namespace plenar::man {

std::string roff(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (c == '\\') {
        out += "\\e";
      } else if (c == '-') {
        out += "\\-";
      } else if ((c == '.' || c == '\'') && (out.empty() || out.back() == '\n')) {
        out += "\\&";
        out += static_cast<char>(c);
      } else {
        out += static_cast<char>(c);
      }
      continue;
    }
    // One UTF-8 sequence as its code point.
    std::size_t more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    unsigned code = c & (0x3F >> more);
    for (std::size_t k = 1; k <= more && i + 1 < text.size(); ++k) {
      code = (code << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F);
    }
    char name[16];
    std::snprintf(name, sizeof name, "\\[u%04X]", code);
    out += name;
  }
  return out;
}

std::string quoted(const std::string& text) {
  std::string body = roff(text);
  std::string out = "\"";
  for (char c : body) out += c == '"' ? std::string("\\(dq") : std::string(1, c);
  return out + "\"";
}

std::string withFallbacks(const std::string& page) {
  std::set<std::string> names;
  for (std::size_t at = page.find("\\[u"); at != std::string::npos;
       at = page.find("\\[u", at + 1)) {
    const std::size_t end = page.find(']', at);
    if (end != std::string::npos) names.insert(page.substr(at + 2, end - at - 2));
  }
  if (names.empty()) return page;
  std::string fallbacks =
      ".\\\" Devices without these characters (ASCII, PostScript) show a ? in their place.\n";
  for (const std::string& name : names) {
    fallbacks += ".if !c\\[" + name + "] .char \\[" + name + "] ?\n";
  }
  const std::size_t afterTitle = page.find('\n') + 1;
  return page.substr(0, afterTitle) + fallbacks + page.substr(afterTitle);
}

}  // namespace plenar::man
