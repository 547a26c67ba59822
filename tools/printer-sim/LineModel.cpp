// SPDX-License-Identifier: GPL-3.0-or-later
#include "LineModel.h"

#include <termios.h>

#include <algorithm>
#include <cstdio>

namespace plenar::sim {

int speedToRate(unsigned speed) {
  switch (speed) {
    case B1200:
      return 1200;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    case B230400:
      return 230400;
    default:
      return 0;
  }
}

std::optional<LineSettings> readLineSettings(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return std::nullopt;
  LineSettings s;
  s.sendRate = speedToRate(cfgetospeed(&t));
  speed_t in = cfgetispeed(&t);
  s.receiveRate = in == B0 ? s.sendRate : speedToRate(in);
  s.eightBits = (t.c_cflag & CSIZE) == CS8;
  s.parity = (t.c_cflag & PARENB) != 0;
  s.twoStopBits = (t.c_cflag & CSTOPB) != 0;
  return s;
}

bool toolSendsMatch(const LineSettings& tool, int printerRate) {
  // A second stop bit from the tool only looks like a longer pause to the printer.
  return tool.sendRate == printerRate && tool.eightBits && !tool.parity;
}

bool toolReceivesMatch(const LineSettings& tool, int printerRate) {
  return tool.receiveRate == printerRate && tool.eightBits && !tool.parity && !tool.twoStopBits;
}

std::string describe(const LineSettings& tool) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "tool at %d/%d bit/s, %s%s%s", tool.sendRate, tool.receiveRate,
                tool.eightBits ? "8 bits" : "not 8 bits", tool.parity ? ", parity" : "",
                tool.twoStopBits ? ", 2 stop bits" : "");
  return buf;
}

std::size_t garbledCount(std::size_t count, int senderRate, int receiverRate) {
  if (count == 0) return 0;
  if (senderRate <= 0 || receiverRate <= 0 || receiverRate >= senderRate) return count;
  std::size_t n =
      count * static_cast<std::size_t>(receiverRate) / static_cast<std::size_t>(senderRate);
  return std::max<std::size_t>(1, n);
}

bool LinePacer::pass(std::size_t count, int rate, std::optional<Clock::time_point> from) {
  if (rate <= 0 || count == 0) return true;
  const auto now = Clock::now();
  const auto start = from ? std::min(*from, now) : now;
  if (free_ < start) free_ = start;
  free_ += std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(static_cast<double>(count) * 10.0 / static_cast<double>(rate)));
  auto wait = free_ - Clock::now();
  if (wait <= Clock::duration::zero()) return true;
  return sleeper_(wait);
}

}  // namespace plenar::sim
