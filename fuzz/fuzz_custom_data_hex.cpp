// SPDX-License-Identifier: GPL-3.0-or-later
// The custom-command box in hex mode: lines of hex pairs typed by the user. Any text must give a
// request or a refusal, and a request carries exactly the bytes of the pairs.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "requests/CustomDataRequests.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      lines.emplace_back();
    } else {
      lines.back().push_back(static_cast<char>(data[i]));
    }
  }
  for (bool hex : {true, false}) {
    plenar::BuildResult result = plenar::buildSendCustomData(lines, hex);
    if (auto* r = std::get_if<plenar::CommandRequest>(&result)) {
      // Two hex digits make one byte: never more bytes than half the typed characters.
      if (hex && r->dataStream.size() * 2 > size + 1) std::abort();
    }
  }
  return 0;
}
