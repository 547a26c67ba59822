// SPDX-License-Identifier: GPL-3.0-or-later
#include "shared/FailureKind.h"

#include <cerrno>

namespace plenar {

std::string_view failureKindName(FailureKind kind) {
  switch (kind) {
    case FailureKind::Link:
      return "link";
    case FailureKind::Printer:
      return "printer";
    case FailureKind::Refused:
      return "refused";
    case FailureKind::Usage:
      return "usage";
    case FailureKind::Busy:
      return "busy";
    case FailureKind::Permission:
      return "permission";
    case FailureKind::File:
      return "file";
    case FailureKind::Interrupted:
      return "interrupted";
  }
  return "printer";
}

FailureKind openFailureKind(int osError) {
  if (osError == EACCES || osError == EPERM) return FailureKind::Permission;
  if (osError == EBUSY || osError == EAGAIN) return FailureKind::Busy;
  return FailureKind::Link;
}

}  // namespace plenar
