// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileLocks.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/TerminationSignals.h"

namespace plenar {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point deadlineAfter(double seconds) {
  return Clock::now() + std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
}

void pause() {
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// The PID a UUCP lock file names (ASCII, or the old binary form), 0 when it names none.
long lockOwner(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return 0;
  char buf[32] = {};
  ssize_t n = ::read(fd, buf, sizeof buf - 1);
  ::close(fd);
  if (n <= 0) return 0;
  // The old binary form is four bytes that are not text ("644\n" is a PID in ASCII).
  const bool text = std::all_of(
      buf, buf + n, [](char c) { return (c >= '0' && c <= '9') || c == ' ' || c == '\n'; });
  if (n == 4 && !text) {
    int binary = 0;
    std::memcpy(&binary, buf, 4);
    if (binary > 0) return binary;
  }
  return std::strtol(buf, nullptr, 10);
}

bool processAlive(long pid) {
  return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

}  // namespace

std::optional<FileLock> FileLock::acquire(const std::string& path, double waitSeconds,
                                          std::string& why) {
  const std::string lockPath = path + ".lock";
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
  if (fd < 0) {
    why = lockPath + ": " + std::strerror(errno);
    return std::nullopt;
  }
  const auto deadline = deadlineAfter(waitSeconds);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // A signal to stop ends the wait as if it had run out: nothing was sent yet.
    if ((errno != EWOULDBLOCK && errno != EINTR) || Clock::now() >= deadline ||
        terminationSignal() != 0) {
      why = errno == EWOULDBLOCK ? "busy" : lockPath + ": " + std::strerror(errno);
      ::close(fd);
      return std::nullopt;
    }
    pause();
  }
  return FileLock(fd);
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::string SerialPortLock::lockFileOf(const std::string& devicePath,
                                       const std::string& lockFolder) {
  std::string name = devicePath;
  if (name.rfind("/dev/", 0) == 0) name = name.substr(5);
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return lockFolder + "/LCK.." + name;
}

std::optional<SerialPortLock> SerialPortLock::acquire(const std::string& devicePath,
                                                      double waitSeconds, long& holder,
                                                      std::string lockFolder) {
  holder = 0;
  if (lockFolder.empty()) {
    const char* env = std::getenv("PLENAR_LOCK_DIR");
    lockFolder = env && *env ? env : "/run/lock";
  }
  // Two names of one device (a udev link, /dev/serial/by-id/...) share its lock.
  std::string device = devicePath;
  if (char* real = ::realpath(devicePath.c_str(), nullptr)) {
    device = real;
    std::free(real);
  }
  const std::string path = lockFileOf(device, lockFolder);
  const bool usable = ::access(lockFolder.c_str(), W_OK | X_OK) == 0;
  const auto deadline = deadlineAfter(waitSeconds);
  for (;;) {
    const long owner = lockOwner(path);
    if (owner == ::getpid()) return SerialPortLock(std::string());   // ours already
    if (owner != 0 && !processAlive(owner)) ::unlink(path.c_str());  // stale
    if (!usable) {
      if (owner == 0 || !processAlive(owner)) return SerialPortLock(std::string());
    } else {
      int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
      if (fd >= 0) {
        char text[16];
        const int n = std::snprintf(text, sizeof text, "%10ld\n", static_cast<long>(::getpid()));
        const bool written = ::write(fd, text, static_cast<std::size_t>(n)) == n;
        ::close(fd);
        if (written) return SerialPortLock(path);
        ::unlink(path.c_str());
        return SerialPortLock(std::string());
      }
      if (errno != EEXIST) return SerialPortLock(std::string());
    }
    holder = lockOwner(path);
    if (holder != 0 && terminationSignal() != 0) return std::nullopt;
    if (Clock::now() >= deadline) {
      if (holder != 0) return std::nullopt;
      // A lock file that names no process was left by a crash while it was being written.
      if (usable) ::unlink(path.c_str());
    }
    pause();
  }
}

SerialPortLock::~SerialPortLock() {
  if (!path_.empty()) ::unlink(path_.c_str());
}

}  // namespace plenar
