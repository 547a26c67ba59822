// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace plenar {

// Locks that keep two programs from working on one printer or one state file at once.
// Threads: an object belongs to one thread; the lock is released when it is destroyed.

// An advisory lock (flock) on a lock file of its own, `<path>.lock`, beside a file that is
// replaced by rename (a lock on the file itself would be lost with the old inode). The lock file
// is made 0600 and never opened through a symlink.
class FileLock {
 public:
  // Waits at most `waitSeconds` for the lock. nullopt with `why` set when another holder kept it
  // that long (why: "busy") or the lock file cannot be made (why: the system's reason).
  static std::optional<FileLock> acquire(const std::string& path, double waitSeconds,
                                         std::string& why);
  FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileLock& operator=(FileLock&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  FileLock(const FileLock&) = delete;
  ~FileLock();

 private:
  explicit FileLock(int fd) : fd_(fd) {}
  int fd_;
};

// The lock other serial programs (minicom, cu, ModemManager's rules) honour: `LCK..<name>` in
// /run/lock holding the owner's PID as ten characters and a newline, where <name> is the device
// path below /dev with '/' as '_' (ttyUSB0, pts_3). A lock whose process is gone is stale and
// removed. Where the folder is missing or not writable, no lock is taken and none is checked
// for beyond reading one that is there.
class SerialPortLock {
 public:
  // `lockFolder` empty: /run/lock (or $PLENAR_LOCK_DIR). nullopt with `holder` set to the PID
  // that keeps the port when it is still held after `waitSeconds`.
  static std::optional<SerialPortLock> acquire(const std::string& devicePath, double waitSeconds,
                                               long& holder, std::string lockFolder = {});
  SerialPortLock(SerialPortLock&& other) noexcept : path_(std::move(other.path_)) {
    other.path_.clear();
  }
  SerialPortLock& operator=(SerialPortLock&& other) noexcept {
    std::swap(path_, other.path_);
    return *this;
  }
  SerialPortLock(const SerialPortLock&) = delete;
  ~SerialPortLock();

  // The lock file of a device: /run/lock/LCK..ttyUSB0.
  static std::string lockFileOf(const std::string& devicePath, const std::string& lockFolder);

 private:
  explicit SerialPortLock(std::string path) : path_(std::move(path)) {}
  std::string path_;  // empty: no lock was taken (no usable folder)
};

}  // namespace plenar
