// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plenar {

// One parallel port as the connection window lists it.
struct LptPortEntry {
  std::string name;          // "LPT1"
  int number = 0;            // n of LPTn: the lp device's minor + 1
  std::uint16_t ioBase = 0;  // from the parport the lp device sits on; 0x378 when unknown
};

// The parallel ports present: every lpN node of the udev subsystem "printer", in number order.
// The I/O base comes from the parport device above the lp device (its /proc base-addr, read
// below `procRoot`); 0x378 when there is none or it cannot be read.
std::vector<LptPortEntry> listParallelPorts(const std::string& procRoot = "/proc");

}  // namespace plenar
