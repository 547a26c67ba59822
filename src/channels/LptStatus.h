// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace plenar {

// The status register of a parallel port (LPGETSTATUS in common mode, PPRSTATUS in direct mode),
// decoded into logical levels. The port inverts BUSY (bit 7 set = ready) and reports nFault and
// nAck active low; every other bit reads as the line's level.
struct LptStatus {
  bool busy = false;         // bit 7 clear
  bool acknowledge = false;  // bit 6 clear (nAck)
  bool paperOut = false;     // bit 5 set (PE)
  bool selected = false;     // bit 4 set (SLCT: the printer is online)
  bool fault = false;        // bit 3 clear (nFault)
};

// 0xD8 is a ready printer online; 0xF0 a printer out of paper (fault, not busy).
LptStatus decodeLptStatus(std::uint8_t reg);

// "busy", "paper out", "offline", "fault" joined by ", ", or "ready": what a failed write says
// about the printer.
std::string describeLptStatus(const LptStatus& status);

// The I/O base the kernel gives parport N in procRoot/sys/dev/parport/parportN/base-addr
// ("888\t0": decimal base, then the ECP base). 0x378 when the file is missing, unreadable or
// holds no base between 1 and 0xFFFF.
std::uint16_t readLptIoBase(int parportNumber, const std::string& procRoot = "/proc");

}  // namespace plenar
