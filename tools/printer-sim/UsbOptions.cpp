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
  } else if (a == "--usb-serial") {
    o.serialPattern = value();
  } else if (a == "--usb-no-serial") {
    o.serialPattern.clear();
  } else {
    return false;
  }
  return true;
}

const char* usbHostUsage() {
  return "  --usb-count N         N USB printers (1..15) attached at once, ports 1-1 .. 1-N,\n"
         "                        each with its own state (--state FILE: see below)\n"
         "  --usb-serial PATTERN  USB serial number of printer n, {n} for n (default\n"
         "                        PLENAR-{n}); --usb-no-serial: none, told apart by port\n"
         "                        With --usb, --stream is a stream of USB printers in one\n"
         "                        testbed; the first arrives at SIGUSR1 (start the watching tool\n"
         "                        first). With --usb-count or --stream, USB printer n keeps its\n"
         "                        state in --state with {n} replaced by n (without {n}:\n"
         "                        FILE-n.ext), and its records in --record likewise\n";
}

void takeUsbStream(StreamOptions& stream, UsbHostOptions& usb, std::string& stateFile,
                   std::string& recordFile) {
  if (stream.count == 0) return;
  if (usb.count > 0) throw std::invalid_argument("--usb-count and --stream exclude each other");
  usb.stream = stream.count;
  usb.leaveIdleMs = stream.idleMs;
  usb.gapMs = stream.gapMs;
  usb.pullPrinter = stream.pullPrinter;
  usb.pullFrames = stream.pullFrames;
  usb.statePattern = stateFile;
  usb.recordPattern = recordFile;
  stateFile = numberedPath(stateFile, 0);
  recordFile = numberedPath(recordFile, 0);
  stream = StreamOptions{};
}

std::string numberedPath(const std::string& pattern, int n) {
  if (pattern.empty() || pattern.find("{n}") != std::string::npos) return streamPath(pattern, n);
  const std::size_t slash = pattern.rfind('/');
  std::size_t dot = pattern.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
      dot == (slash == std::string::npos ? 0 : slash + 1)) {
    dot = pattern.size();
  }
  return pattern.substr(0, dot) + "-" + std::to_string(n) + pattern.substr(dot);
}

}  // namespace plenar::sim
