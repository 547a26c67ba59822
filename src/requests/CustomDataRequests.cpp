// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/CustomDataRequests.h"

#include <algorithm>

#include "platform/Gbk.h"
#include "requests/FieldParsing.h"
#include "requests/RequestBlock.h"

namespace plenar {

BuildResult buildSendCustomData(const std::vector<std::string>& lines, bool hexMode) {
  std::string joined;
  for (const auto& line : lines) joined += trimControls(line);

  CommandRequest r = makeRequest(kUserDataCode);
  if (hexMode) {
    std::string_view text = joined;
    r.dataStream.reserve((text.size() + 1) / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
      auto value = parseHex(text.substr(i, 2));
      r.dataStream.push_back(static_cast<std::uint8_t>(value.value_or(0)));
    }
  } else {
    if (auto refusal = gbkRefusal(joined, "mmo_SendData")) return *refusal;
    std::string bytes = utf8ToGbk(joined);
    r.dataStream.assign(bytes.begin(), bytes.end());
  }
  return r;
}

BuildResult buildSendHexData(std::string_view text) {
  CommandRequest r = makeRequest(kUserDataCode);
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  for (std::size_t i = 0; i < text.size();) {
    if (blank(text[i])) {
      ++i;
      continue;
    }
    const std::size_t width = i + 1 < text.size() && !blank(text[i + 1]) ? 2 : 1;
    auto value = width == 2 ? parseHex(text.substr(i, 2)) : std::nullopt;
    if (!value) {
      // The text is shown only when it is plain ASCII: half of a UTF-8 character is not text.
      std::string shown(text.substr(i, width));
      const bool ascii =
          std::all_of(shown.begin(), shown.end(), [](char c) { return c > ' ' && c < 0x7F; });
      return Refusal{(ascii ? "'" + shown + "' at character " : "character ") +
                         std::to_string(i + 1) +
                         " is not a byte of two hexadecimal digits (write 1B 40 or 1B40)",
                     "mmo_SendData", "hex-invalid"};
    }
    r.dataStream.push_back(static_cast<std::uint8_t>(*value));
    i += 2;
  }
  return r;
}

}  // namespace plenar
