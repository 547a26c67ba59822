// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace plenar::sim {

// How the simulator hosts several USB printers: some attached at once, or a stream of them that
// arrive and leave one after another. Each has its own printer state and state file.
struct UsbHostOptions {
  int count = 0;   // --usb-count N: N printers attached at once (0: the one printer of --usb)
  int stream = 0;  // --usb-stream N: N printers one after another
  // --usb-serial PATTERN: the USB serial number of printer n, "{n}" replaced by n; "" (or
  // --usb-no-serial): the printers have none and are told apart by their port.
  std::string serialPattern = "PLENAR-{n}";
  int pullPrinter = 0;  // --usb-pull N:F: printer N leaves when its F-th frame arrives
  int pullFrames = 0;
  int leaveIdleMs = 1000;  // --usb-leave-idle-ms: a printer that was talked to leaves this idle
  int gapMs = 200;         // --usb-gap-ms: between one stream printer leaving and the next

  bool several() const { return count > 0 || stream > 0; }
};

inline constexpr int kMaxUsbPrintersAtOnce = 15;  // ports 1-1 .. 1-15 of the root hub
inline constexpr int kMaxUsbStream = 100000;

// Takes option `a` (its value through `value`) when it is one of the above, else returns false.
// Throws std::invalid_argument with a message for the user.
bool parseUsbHostOption(const std::string& a, const std::function<const std::string&()>& value,
                        UsbHostOptions& o);
const char* usbHostUsage();

// `pattern` with every "{n}" replaced by n; without "{n}", printer n's file is `pattern` with
// "-n" before its extension ("state.json" -> "state-2.json"). "" stays "".
std::string numberedPath(const std::string& pattern, int n);
// Every "{n}" in `pattern` replaced by n.
std::string numbered(const std::string& pattern, int n);

}  // namespace plenar::sim
