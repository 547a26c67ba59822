// SPDX-License-Identifier: GPL-3.0-or-later
#include "StreamOptions.h"

#include <stdexcept>

namespace plenar::sim {
namespace {

int boundedNumber(const std::string& option, const std::string& text, int min, int max) {
  std::size_t used = 0;
  long long n = 0;
  try {
    n = std::stoll(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || text.empty() || n < min || n > max) {
    throw std::invalid_argument(option + " takes " + std::to_string(min) + ".." +
                                std::to_string(max) + ", not '" + text + "'");
  }
  return static_cast<int>(n);
}

}  // namespace

bool parseStreamOption(const std::string& arg, const std::function<const std::string&()>& value,
                       StreamOptions& stream) {
  if (arg == "--stream") {
    stream.count = boundedNumber(arg, value(), 1, 100000);
  } else if (arg == "--stream-idle-ms") {
    stream.idleMs = boundedNumber(arg, value(), 1, 600000);
  } else if (arg == "--stream-gap-ms") {
    stream.gapMs = boundedNumber(arg, value(), 0, 600000);
  } else if (arg == "--stream-pull") {
    const std::string& v = value();
    const auto colon = v.find(':');
    if (colon == std::string::npos) throw std::invalid_argument("--stream-pull takes K:F");
    stream.pullPrinter = boundedNumber(arg, v.substr(0, colon), 1, 100000);
    stream.pullFrames = boundedNumber(arg, v.substr(colon + 1), 1, 1000000);
  } else {
    return false;
  }
  return true;
}

std::string streamPath(const std::string& pattern, int n) {
  std::string out = pattern;
  for (auto at = out.find("{n}"); at != std::string::npos; at = out.find("{n}", at)) {
    out.replace(at, 3, std::to_string(n));
  }
  return out;
}

}  // namespace plenar::sim
