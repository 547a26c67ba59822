// SPDX-License-Identifier: GPL-3.0-or-later
#include "Faults.h"

#include <charconv>

#include "shared/Frame.h"

namespace plenar::sim {

std::optional<std::string> parseFault(const std::string& text, FaultConfig& config) {
  if (text == "silent") {
    config.silent = true;
    return std::nullopt;
  }
  auto colon = text.find(':');
  if (colon == std::string::npos) return "unknown fault '" + text + "'";
  const std::string name = text.substr(0, colon);
  const std::string arg = text.substr(colon + 1);
  int n = 0;
  auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), n);
  if (ec != std::errc() || end != arg.data() + arg.size() || n < 0) {
    return "fault '" + text + "' needs a whole number";
  }
  if (name == "drop-every") {
    config.dropEvery = n;
  } else if (name == "corrupt-header-every") {
    config.corruptHeaderEvery = n;
  } else if (name == "corrupt-data-every") {
    config.corruptDataEvery = n;
  } else if (name == "delay") {
    config.delayMs = n;
  } else if (name == "noise") {
    config.noise = n;
  } else if (name == "close-after") {
    config.closeAfter = n;
  } else if (name == "split") {
    config.split = n;
  } else {
    return "unknown fault '" + text + "'";
  }
  return std::nullopt;
}

WritePlan FaultInjector::plan(std::vector<std::uint8_t> answer, bool frame) {
  WritePlan p;
  if (config_.silent) {
    p.fault = "silent";
    return p;
  }
  p.delayMs = config_.delayMs;
  if (frame) {
    ++replies_;
    if (config_.dropEvery > 0 && replies_ % static_cast<std::uint64_t>(config_.dropEvery) == 0) {
      p.fault = "dropped";
      return p;
    }
    if (config_.corruptHeaderEvery > 0 &&
        replies_ % static_cast<std::uint64_t>(config_.corruptHeaderEvery) == 0 &&
        answer.size() >= kFrameHeaderSize) {
      answer[14] ^= 0x5A;
      p.fault = "header check corrupted";
    }
    if (answer.size() > kFrameHeaderSize) {
      ++dataReplies_;
      if (config_.corruptDataEvery > 0 &&
          dataReplies_ % static_cast<std::uint64_t>(config_.corruptDataEvery) == 0) {
        answer.back() ^= 0x5A;
        p.fault = p.fault.empty() ? "data check corrupted" : p.fault + ", data check corrupted";
      }
    }
  }
  if (config_.noise > 0) {
    auto n = noise_.bytes(static_cast<std::size_t>(config_.noise));
    answer.insert(answer.begin(), n.begin(), n.end());
    p.fault += p.fault.empty() ? "leading noise" : ", leading noise";
  }
  if (frame && config_.split > 0 && static_cast<std::size_t>(config_.split) < answer.size()) {
    auto cut = answer.begin() + config_.split;
    p.writes.emplace_back(answer.begin(), cut);
    p.writes.emplace_back(cut, answer.end());
    p.pauseMs = kSplitPauseMs;
    p.fault += p.fault.empty() ? "split" : ", split";
  } else {
    p.writes.push_back(std::move(answer));
  }
  return p;
}

}  // namespace plenar::sim
