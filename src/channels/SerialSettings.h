// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace plenar {

// What the owner of a serial channel chooses about its line, with the channel's defaults. The
// rest is fixed: 8 data bits, no parity, one stop bit, no hardware flow control, the modem
// status lines ignored; a printer on this tool's cable expects nothing else.
struct SerialSettings {
  // A chunk is handed on as soon as bytes have arrived (readIntervalTimeout).
  static constexpr std::uint32_t kReadReturnAtOnce = 0xFFFFFFFF;

  // The device path (COMn stands for /dev/ttyS(n-1)); taken at the next open.
  std::string commName = "COM2";
  std::uint32_t baudRate = 9600;
  // XON/XOFF flow control, in both directions.
  bool xonXoffFlow = true;
  // DTR and RTS raised while open (false: held low).
  bool dtr = true;
  bool rts = true;
  // Received bytes are handed on once the line has been idle this many milliseconds after at
  // least one byte, or at 2048 bytes; 0 waits for 2048 bytes; kReadReturnAtOnce hands on at once.
  std::uint32_t readIntervalTimeout = 100;

  // The settings that the port's line state is built from (all but the name and the interval).
  bool sameLine(const SerialSettings& o) const {
    return baudRate == o.baudRate && xonXoffFlow == o.xonXoffFlow && dtr == o.dtr && rts == o.rts;
  }
};

}  // namespace plenar
