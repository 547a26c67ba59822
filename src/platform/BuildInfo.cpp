// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/BuildInfo.h"

// Set by the build on this file only, so a new version recompiles one file.
#ifndef PLENAR_BUILD_VERSION
#define PLENAR_BUILD_VERSION "unknown"
#endif

namespace plenar {

const char* buildVersion() {
  return PLENAR_BUILD_VERSION;
}

}  // namespace plenar
