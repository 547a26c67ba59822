// SPDX-License-Identifier: GPL-3.0-or-later
#include "UsbOptions.h"

#include <charconv>
#include <stdexcept>

namespace plenar::sim {
namespace {

long long bounded(const std::string& option, const std::string& text, long long low,
                  long long high) {
  long long n = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || n < low ||
      n > high) {
    throw std::invalid_argument(option + " needs a number " + std::to_string(low) + ".." +
                                std::to_string(high) + ", not '" + text + "'");
  }
  return n;
}

}  // namespace

bool parseUsbHostOption(const std::string& a, const std::function<const std::string&()>& value,
                        UsbHostOptions& o) {
  if (a == "--usb-count") {
    o.count = static_cast<int>(bounded(a, value(), 1, kMaxUsbPrintersAtOnce));
  } else if (a == "--usb-stream") {
    o.stream = static_cast<int>(bounded(a, value(), 1, kMaxUsbStream));
  } else if (a == "--usb-serial") {
    o.serialPattern = value();
  } else if (a == "--usb-no-serial") {
    o.serialPattern.clear();
  } else if (a == "--usb-pull") {
    const std::string& v = value();
    const auto colon = v.find(':');
    if (colon == std::string::npos) throw std::invalid_argument(a + " needs N:F, not '" + v + "'");
    o.pullPrinter = static_cast<int>(bounded(a, v.substr(0, colon), 1, kMaxUsbStream));
    o.pullFrames = static_cast<int>(bounded(a, v.substr(colon + 1), 1, 1'000'000'000));
  } else if (a == "--usb-leave-idle-ms") {
    o.leaveIdleMs = static_cast<int>(bounded(a, value(), 1, 600'000));
  } else if (a == "--usb-gap-ms") {
    o.gapMs = static_cast<int>(bounded(a, value(), 0, 600'000));
  } else {
    return false;
  }
  if (o.count > 0 && o.stream > 0) {
    throw std::invalid_argument("--usb-count and --usb-stream exclude each other");
  }
  return true;
}

const char* usbHostUsage() {
  return "  --usb-count N         N USB printers (1..15) attached at once, ports 1-1 .. 1-N,\n"
         "                        each with its own state (--state FILE: see below)\n"
         "  --usb-stream N        N USB printers one after another, from SIGUSR1 on: each\n"
         "                        arrives with a fresh\n"
         "                        state, leaves once it was talked to and then stayed idle\n"
         "                        (--usb-leave-idle-ms, default 1000), then after --usb-gap-ms\n"
         "                        (default 200) the next arrives\n"
         "  --usb-serial PATTERN  USB serial number of printer n, {n} for n (default\n"
         "                        PLENAR-{n}); --usb-no-serial: none, told apart by port\n"
         "  --usb-pull N:F        printer N leaves when its F-th frame arrives, unanswered\n"
         "                        With --usb-count or --usb-stream, printer n keeps its state in\n"
         "                        --state with {n} replaced by n (without {n}: FILE-n.ext), and\n"
         "                        its records in --record likewise\n";
}

std::string numbered(const std::string& pattern, int n) {
  std::string out = pattern;
  const std::string number = std::to_string(n);
  for (std::size_t at = out.find("{n}"); at != std::string::npos; at = out.find("{n}", at)) {
    out.replace(at, 3, number);
    at += number.size();
  }
  return out;
}

std::string numberedPath(const std::string& pattern, int n) {
  if (pattern.empty() || pattern.find("{n}") != std::string::npos) return numbered(pattern, n);
  const std::size_t slash = pattern.rfind('/');
  std::size_t dot = pattern.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
      dot == (slash == std::string::npos ? 0 : slash + 1)) {
    dot = pattern.size();
  }
  return pattern.substr(0, dot) + "-" + std::to_string(n) + pattern.substr(dot);
}

}  // namespace plenar::sim
