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

// What termios cannot express, and is therefore left out:
// - DSR output flow, DSR sensitivity, DTR handshake: Linux has no DTR/DSR flow control; DTR is
//   simply raised for DtrHandshake.
// - TxContinueOnXoff, XonLimit, XoffLimit: the line discipline uses fixed thresholds.
// - CTS output flow and RTS handshake share one switch on Linux (CRTSCTS, both directions).
// - RtsTransmissionAvailable (RTS only while sending) needs the driver's RS-485 mode; RTS stays
//   raised instead.
// - IgnoreNullChar and the replacement character are done by the reader (SerialInputFilter):
//   with ParityCheck the line discipline marks bad bytes (PARMRK) and the reader replaces them.
void buildTermios(termios& t, const SerialSettings& s) {
  cfmakeraw(&t);
  t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK | IGNBRK | BRKINT);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= CREAD | CLOCAL;

  static constexpr std::array<tcflag_t, 4> kSizes{CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[static_cast<std::size_t>(s.byteSize)];

  switch (s.parity) {
    case TParity::None:
      break;
    case TParity::Odd:
      t.c_cflag |= PARENB | PARODD;
      break;
    case TParity::Even:
      t.c_cflag |= PARENB;
      break;
    case TParity::Mark:
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case TParity::Space:
      t.c_cflag |= PARENB | CMSPAR;
      break;
  }
  // Linux UARTs have no 1.5 stop bits: CSTOPB gives 1.5 with 5 data bits and 2 otherwise.
  if (s.stopBits != TStopBits::_1) t.c_cflag |= CSTOPB;
  if (s.parityCheck) t.c_iflag |= INPCK | PARMRK;

  if (s.outxXonXoffFlow) t.c_iflag |= IXON;
  if (s.inxXonXoffFlow) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
  if (s.outxCtsFlow || s.rtsControl == TRtsControl::RtsHandshake) t.c_cflag |= CRTSCTS;

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
  (s.dtrControl == TDtrControl::DtrDisable ? drop : raise) |= TIOCM_DTR;
  switch (s.rtsControl) {
    case TRtsControl::RtsDisable:
      drop |= TIOCM_RTS;
      break;
    case TRtsControl::RtsHandshake:
      break;  // the driver drives RTS under CRTSCTS
    case TRtsControl::RtsEnable:
    case TRtsControl::RtsTransmissionAvailable:
      raise |= TIOCM_RTS;
      break;
  }
  if (raise != 0) (void)::ioctl(fd, TIOCMBIS, &raise);
  if (drop != 0) (void)::ioctl(fd, TIOCMBIC, &drop);
}

}  // namespace plenar
