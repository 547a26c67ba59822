// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/CustomDataRequests.h"

#include "platform/Gbk.h"
#include "requests/FieldParsing.h"
#include "requests/RequestBlock.h"

namespace plenar {

BuildResult buildSendCustomData(const std::vector<std::string>& lines, bool hexMode) {
  std::string joined;
  for (const auto& line : lines) joined += trimControls(line);

  CommandRequest r = makeRequest(49);
  if (hexMode) {
    std::string_view text = joined;
    r.dataStream.reserve((text.size() + 1) / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
      auto value = parseHex(text.substr(i, 2));
      r.dataStream.push_back(static_cast<std::uint8_t>(value.value_or(0)));
    }
  } else {
    std::string bytes = utf8ToGbk(joined);
    r.dataStream.assign(bytes.begin(), bytes.end());
  }
  return r;
}

}  // namespace plenar
