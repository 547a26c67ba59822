// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Faults.h"
#include "LptLink.h"
#include "StreamOptions.h"
#include "UsbOptions.h"

namespace plenar::sim {

struct SimOptions {
  std::string serialLink;          // empty: no serial link
  std::optional<std::string> udp;  // "ADDR:PORT"
  bool udpFollowsIp = false;       // the UDP link moves with the Ethernet address
  std::optional<std::string> usb;  // "VID:PID" in hex
  int usbUnplugAfterFrames = 0;    // the USB device leaves when this frame arrives (0: never)
  int usbReplugMs = 500;           // how long the device is away when the printer restarts
  UsbHostOptions usbHost;          // several USB printers, at once or one after another
  int lpt = 0;                     // LPTn hosted as /dev/lp(n-1) and /dev/parport(n-1); 0: none
  LptFaults lptFaults;             // --lpt-fault
  std::optional<int> baud;         // power-up rate; default: the stored rate, else 9600
  bool pace = false;
  std::optional<std::string> model;  // default: the stored tag, else PLENAR80
  int readChunk = 256;
  bool boot = true;
  bool refuseSettings = false;  // --refuse-settings
  std::string recordFile;
  std::string stateFile;
  FaultConfig faults;
  std::uint64_t seed = 1;
  // A printer on a bench: it leaves once it has been spoken to and then left alone (no change, no
  // frame) this long (0: it stays), or when this many frames have arrived (pulled out part-way; 0:
  // never).
  int leaveIdleMs = 0;
  int leaveAfterFrames = 0;
  StreamOptions stream;  // --stream: printer after printer (StreamOptions.h)
};

inline constexpr const char* kDefaultUdp = "127.0.0.1:5100";
inline constexpr const char* kDefaultUsb = "1234:811E";

// Parses the command line (without argv[0]). Throws std::invalid_argument with a message for the
// user. `help` is set for --help.
SimOptions parseSimOptions(const std::vector<std::string>& args, bool& help);
const char* simUsage();

}  // namespace plenar::sim
