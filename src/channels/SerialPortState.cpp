// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/SerialPortState.h"

#include <sys/ioctl.h>

#include <array>
#include <utility>

namespace plenar {

bool baudRateConstant(std::uint32_t rate, speed_t& constant) {
  static constexpr std::array<std::pair<std::uint32_t, speed_t>, 20> kRates{{
      {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
      {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
      {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
      {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
  }};
  for (const auto& [r, c] : kRates) {
    if (r == rate) {
      constant = c;
      return true;
    }
  }
  return false;
}

void buildTermios(termios& t, const SerialSettings& s) {
  cfmakeraw(&t);
  t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK | IGNBRK | BRKINT);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  if (s.xonXoffFlow) t.c_iflag |= IXON | IXOFF;
  t.c_cc[VSTART] = 0x11;  // XON
  t.c_cc[VSTOP] = 0x13;   // XOFF
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;

  speed_t speed;
  if (baudRateConstant(s.baudRate, speed)) {
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
  }
}

void applyModemLines(int fd, const SerialSettings& s) {
  int raise = 0;
  int drop = 0;
  (s.dtr ? raise : drop) |= TIOCM_DTR;
  (s.rts ? raise : drop) |= TIOCM_RTS;
  if (raise != 0) (void)::ioctl(fd, TIOCMBIS, &raise);
  if (drop != 0) (void)::ioctl(fd, TIOCMBIC, &drop);
}

}  // namespace plenar
