// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>

namespace plenar::fuzz {

// Where targets that read through a file write their input: memory (/dev/shm) when there is
// one. On a disk file system, rewriting a file with O_TRUNC makes its close wait for the data
// to reach the disk (ext4's replace-by-truncate rule): a few milliseconds per input, most of a
// run's time.
inline std::string scratchFolder() {
  return ::access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm" : "/tmp";
}

// A path of this process in the scratch folder, plenar-fuzz-<name>-<pid><suffix>, removed (with
// anything under it) at exit. The paths are never freed: an exit handler registered while a
// static is being made runs after that static is destroyed.
inline const std::string& scratchPath(std::string_view name, std::string_view suffix = {}) {
  static auto* paths = new std::deque<std::string>;
  if (paths->empty()) {
    std::atexit([] {
      for (const std::string& p : *paths) {
        std::error_code ec;
        std::filesystem::remove_all(p, ec);
      }
    });
  }
  paths->push_back(scratchFolder() + "/plenar-fuzz-" + std::string(name) + "-" +
                   std::to_string(::getpid()) + std::string(suffix));
  return paths->back();  // a deque keeps its elements in place as it grows
}

// The input as the whole content of `path` (0600); aborts when it cannot be written.
inline void writeInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  if (::write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  ::close(fd);
}

}  // namespace plenar::fuzz
