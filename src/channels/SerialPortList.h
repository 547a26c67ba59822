// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace plenar {

// The serial ports that have hardware behind them, as /dev paths: ttyS ports with a UART,
// then ttyUSB, ttyACM and rfcomm ports, each kind in number order (ttyS2 before ttyS10).
// `sysRoot` is the sysfs mount point; tests pass a tree of their own.
// A ttyS port counts when sysRoot/class/tty/ttySN/device exists and sysRoot/class/tty/ttySN/type
// holds a UART type other than 0 (PORT_UNKNOWN): the 8250 driver registers placeholder ttyS
// ports (usually 4 or 32) that have type 0 and no chip behind them.
std::vector<std::string> listSerialPorts(const std::string& sysRoot = "/sys");

// /dev/ttyS0 .. /dev/ttyS29: what the connection window offers when no hardware was found.
std::vector<std::string> fallbackSerialPorts();

// A port name as the user typed it: "COMn" (any case, n >= 1) means /dev/ttyS(n-1); every other
// name is a device path and is returned unchanged.
std::string resolveSerialPortName(const std::string& name);

}  // namespace plenar
