// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/Preload.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace plenar::sim {
namespace {

bool namesPreload(const char* value) {
  return value != nullptr && std::strstr(value, "libumockdev-preload") != nullptr;
}

}  // namespace

bool preloadActive() {
  return namesPreload(std::getenv("LD_PRELOAD"));
}

std::string preloadValue(const std::string& currentPreload) {
  if (namesPreload(currentPreload.c_str())) return currentPreload;
  // AddressSanitizer wants to come first; it is linked into the program, so the preload goes last.
  return currentPreload.empty() ? kPreloadLibrary : currentPreload + ":" + kPreloadLibrary;
}

std::string restartWithPreload(char** argv) {
  if (preloadActive()) return "";
  const char* current = std::getenv("LD_PRELOAD");
  const std::string value = preloadValue(current != nullptr ? current : "");
  ::setenv("LD_PRELOAD", value.c_str(), 1);
  // An ASan build refuses to start when a preloaded library comes before its runtime.
  const char* asan = std::getenv("ASAN_OPTIONS");
  std::string asanOptions = asan != nullptr ? asan : "";
  if (asanOptions.find("verify_asan_link_order") == std::string::npos) {
    asanOptions += std::string(asanOptions.empty() ? "" : ":") + "verify_asan_link_order=0";
    ::setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
  }
  ::execv("/proc/self/exe", argv);
  return std::string("cannot restart with ") + kPreloadLibrary + ": " + std::strerror(errno);
}

}  // namespace plenar::sim
