// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace plenar::sim {

// The umockdev preload library. A process that hosts virtual devices needs it itself: the
// testbed finds a device for its uevents through libudev, which only sees the testbed's /sys
// under the preload, so without it no "add" or "remove" reaches a watching program.

inline constexpr const char* kPreloadLibrary = "libumockdev-preload.so.0";

// True when the preload library is named in LD_PRELOAD. (umockdev_in_mock_environment() is not
// used: called before a testbed exists it caches a wrong "no".)
bool preloadActive();

// The environment a program needs to see a testbed: LD_PRELOAD with the preload library added to
// what `currentPreload` holds, and, in a sanitizer build, ASAN_OPTIONS that let AddressSanitizer
// run with a library loaded before it.
std::string preloadValue(const std::string& currentPreload);

// Restarts this program (execv of /proc/self/exe with the same arguments) with the preload library
// appended to LD_PRELOAD. Returns only when the restart failed, with an error text; does nothing
// and returns "" when the library is already loaded.
std::string restartWithPreload(char** argv);

}  // namespace plenar::sim
