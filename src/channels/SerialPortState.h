// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <termios.h>

#include <cstdint>
#include <string>

#include "channels/TComm.h"

namespace plenar {

// Every setting of a TComm in one value, with the component's defaults. The line settings are
// built from it in one place (buildTermios + applyModemLines).
struct SerialSettings {
  std::string commName = "COM2";
  std::uint32_t baudRate = 9600;
  bool parityCheck = false;
  bool outxCtsFlow = false;
  bool outxDsrFlow = false;
  TDtrControl dtrControl = TDtrControl::DtrEnable;
  bool dsrSensitivity = false;
  bool txContinueOnXoff = true;
  bool outxXonXoffFlow = true;
  bool inxXonXoffFlow = true;
  bool replaceWhenParityError = false;
  bool ignoreNullChar = false;
  TRtsControl rtsControl = TRtsControl::RtsEnable;
  std::uint16_t xonLimit = 500;
  std::uint16_t xoffLimit = 500;
  TByteSize byteSize = TByteSize::_8;
  TParity parity = TParity::None;
  TStopBits stopBits = TStopBits::_1;
  char xonChar = 0x11;
  char xoffChar = 0x13;
  char replacedChar = 0x00;
  std::uint32_t readIntervalTimeout = 100;
  std::uint32_t readTotalTimeoutMultiplier = 0;
  std::uint32_t readTotalTimeoutConstant = 0;
  std::uint32_t writeTotalTimeoutMultiplier = 0;
  std::uint32_t writeTotalTimeoutConstant = 0;
};

// The termios speed constant of a rate in bits per second; false for a rate the kernel has no
// constant for.
bool baudRateConstant(std::uint32_t rate, speed_t& constant);

// Rewrites `t` from the settings in raw mode: no echo, no line editing, no output processing,
// receiver on, modem-status lines ignored (CLOCAL), a non-blocking read returns EAGAIN when the
// queue is empty (VMIN 1) so that a 0 result means a hang-up. An unknown rate keeps the speed
// already in `t`. Settings termios cannot express are left out (see the .cpp).
void buildTermios(termios& t, const SerialSettings& s);

// Raises or drops DTR and RTS as DtrControl and RtsControl say. Pseudo-terminals have no modem
// lines: the ioctls fail there and that is ignored.
void applyModemLines(int fd, const SerialSettings& s);

}  // namespace plenar
