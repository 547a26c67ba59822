// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <termios.h>

#include <cstdint>

#include "channels/SerialSettings.h"

namespace plenar {

// The termios speed constant of a rate in bits per second; false for a rate the kernel has no
// constant for.
bool baudRateConstant(std::uint32_t rate, speed_t& constant);

// Rewrites `t` from the settings in raw mode, 8 data bits, no parity, one stop bit: no echo, no
// line editing, no output processing, receiver on, modem-status lines ignored (CLOCAL), no
// hardware flow control, a non-blocking read returns EAGAIN when the queue is empty (VMIN 1) so
// that a 0 result means a hang-up. An unknown rate keeps the speed already in `t`.
void buildTermios(termios& t, const SerialSettings& s);

// Raises or drops DTR and RTS as the settings say. Pseudo-terminals have no modem lines: the
// ioctls fail there and that is ignored.
void applyModemLines(int fd, const SerialSettings& s);

}  // namespace plenar
