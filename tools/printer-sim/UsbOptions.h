// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "StreamOptions.h"

namespace plenar::sim {

// How the simulator hosts several USB printers: some attached at once, or a stream of them that
// arrive and leave one after another. Each has its own printer state and state file.
struct UsbHostOptions {
  int count = 0;   // --usb-count N: N printers attached at once (0: the one printer of --usb)
  int stream = 0;  // --usb with --stream N: N printers one after another
  // --usb-serial PATTERN: the USB serial number of printer n, "{n}" replaced by n; "" (or
  // --usb-no-serial): the printers have none and are told apart by their port.
  std::string serialPattern = "PLENAR-{n}";
  int pullPrinter = 0;  // --stream-pull N:F: printer N leaves when its F-th frame arrives
  int pullFrames = 0;
  int leaveIdleMs = 500;  // --stream-idle-ms: a printer that was talked to leaves this idle
  int gapMs = 1000;       // --stream-gap-ms: between one stream printer leaving and the next
  // The state and record files of printer n: numberedPath() of these (--state, --record).
  std::string statePattern;
  std::string recordPattern;

  bool several() const { return count > 0 || stream > 0; }
};

inline constexpr int kMaxUsbPrintersAtOnce = 15;  // ports 1-1 .. 1-15 of the root hub

// Takes option `a` (its value through `value`) when it is one of the above, else returns false.
// Throws std::invalid_argument with a message for the user.
bool parseUsbHostOption(const std::string& a, const std::function<const std::string&()>& value,
                        UsbHostOptions& o);
const char* usbHostUsage();

// With --usb, --stream is a stream of USB printers in one testbed, served beside the simulator's
// own printer (whose files become those of printer 0), instead of one simulator per printer:
// moves `stream` into `usb` and clears it. `stateFile` and `recordFile` are the --state and
// --record patterns. Throws std::invalid_argument with --usb-count.
void takeUsbStream(StreamOptions& stream, UsbHostOptions& usb, std::string& stateFile,
                   std::string& recordFile);

// `pattern` with every "{n}" replaced by n; without "{n}", printer n's file is `pattern` with
// "-n" before its extension ("state.json" -> "state-2.json"). "" stays "".
std::string numberedPath(const std::string& pattern, int n);

}  // namespace plenar::sim
