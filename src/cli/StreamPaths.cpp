// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StreamPaths.h"

#include <sys/stat.h>
#include <unistd.h>

namespace plenar::cli {

bool isStandardStream(const std::string& path) {
  if (path == "-") return true;
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0) return false;
  struct stat null {};
  if (S_ISCHR(target.st_mode) && ::stat("/dev/null", &null) == 0 &&
      target.st_rdev == null.st_rdev) {
    return false;
  }
  for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    struct stat stream {};
    if (::fstat(fd, &stream) == 0 && stream.st_dev == target.st_dev &&
        stream.st_ino == target.st_ino) {
      return true;
    }
  }
  return false;
}

}  // namespace plenar::cli
