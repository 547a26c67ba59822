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
struct LockAttempt;
class FileLock {
 public:
  // Waits at most `waitSeconds` for the lock: Acquired with the lock, Busy when another holder
  // kept it that long (or a signal to stop came first), Failed with the errno of the call that
  // failed when the lock file cannot be made or locked.
  static LockAttempt acquire(const std::string& path, double waitSeconds);
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

// What became of FileLock::acquire.
struct LockAttempt {
  enum class Result { Acquired, Busy, Failed };
  Result result = Result::Failed;
  std::optional<FileLock> lock = {};
  std::string lockPath = {};
  int osError = 0;  // Failed: the errno of the open or flock that failed
  // Failed: "<lock file>: <the system's reason>".
  std::string reason() const;
};

// Who keeps a serial port's lock file when it cannot be taken.
struct PortLockHolder {
  std::string path;    // the lock file
  long pid = 0;        // the live process that holds the port; 0 when none does
  long ownerUid = -1;  // the lock file's owner
  // Why no live process holds the file although it is there and cannot be taken over (empty
  // when `pid` holds it): "empty", "names no process", "cannot be read", "process N is gone".
  std::string stale;
};

// The lock other serial programs (minicom, cu, ModemManager's rules) honour: `LCK..<name>` in
// /run/lock holding the owner's PID as ten characters and a newline, where <name> is the device
// path below /dev with '/' as '_' (ttyUSB0, pts_3). Taken over only where that is safe, as
// UUCP and lockdev do: a file naming a process that is gone (kill gives ESRCH) is removed and
// taken; one that names none (empty, not a PID, unreadable) only when it is our own user's and
// has been so for a second (no writer takes that long between creating and filling it).
// Another user's such file is reported, never removed. Where the folder is missing or not
// writable, no lock is taken and none is checked for beyond reading one that is there.
class SerialPortLock {
 public:
  // `lockFolder` empty: /run/lock (or $PLENAR_LOCK_DIR). Waits at most `waitSeconds` and stops
  // waiting at a termination signal; nullopt with `holder` saying who keeps the port then.
  static std::optional<SerialPortLock> acquire(const std::string& devicePath, double waitSeconds,
                                               PortLockHolder& holder, std::string lockFolder = {});
  // The same, with only the holder's PID (0 for a stale file).
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
  // The folder acquire() uses for an empty `lockFolder`: $PLENAR_LOCK_DIR, else /run/lock.
  static std::string defaultLockFolder();

 private:
  explicit SerialPortLock(std::string path) : path_(std::move(path)) {}
  std::string path_;  // empty: no lock was taken (no usable folder)
};

}  // namespace plenar
