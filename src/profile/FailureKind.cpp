// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/FailureKind.h"

#include <cerrno>

namespace plenar {

std::string failureKind(const std::string& message, bool openFailed, int osError) {
  if (openFailed) {
    if (osError == EACCES || osError == EPERM) return "permission";
    if (osError == EBUSY || osError == EAGAIN) return "busy";
    return "link";
  }
  // The link layer's texts for a printer that was never reached.
  if (message == "Connecting Failed" || message == "Set Baudrate Failed") return "link";
  return "printer";
}

}  // namespace plenar
