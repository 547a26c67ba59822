// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/OpenFailureReason.h"

#include <cerrno>
#include <cstring>

namespace plenar {
namespace {

const char* accessAdvice(DeviceKind kind) {
  switch (kind) {
    case DeviceKind::Serial:
      // Debian gives serial ports (ttyS, ttyUSB, ttyACM) to the dialout group.
      return "Add the user to the dialout group (sudo usermod -aG dialout $USER), then log in "
             "again.";
    case DeviceKind::Usb:
      return "Install the udev rule 60-plenar.rules (the plenar package brings it) and plug the "
             "printer in again.";
    case DeviceKind::Parallel:
      // lp and parport devices belong to the lp group.
      return "Add the user to the lp group (sudo usermod -aG lp $USER), then log in again.";
  }
  return "";
}

}  // namespace

std::string openFailureReason(DeviceKind kind, const std::string& device, int osError) {
  if (osError == 0) return {};
  const std::string prefix = device + ": ";
  switch (osError) {
    case EACCES:
    case EPERM:
      return prefix + std::strerror(osError) + ". " + accessAdvice(kind);
    case EBUSY:
    case EWOULDBLOCK:  // flock: another process holds the lock
      return prefix + std::strerror(EBUSY) + ". Another program holds it; close that program " +
             "and try again.";
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return prefix + std::strerror(osError) + ". The device does not exist; check the name " +
             "and that the printer is connected.";
    default:
      return prefix + std::strerror(osError) + ".";
  }
}

}  // namespace plenar
