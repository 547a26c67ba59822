// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <unistd.h>

#include <string>

namespace plenar::fuzz {

// Where targets that read through a file write their input: memory (/dev/shm) when there is
// one. On a disk file system, rewriting a file with O_TRUNC makes its close wait for the data
// to reach the disk (ext4's replace-by-truncate rule): a few milliseconds per input, most of a
// run's time.
inline std::string scratchFolder() {
  return ::access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm" : "/tmp";
}

}  // namespace plenar::fuzz
