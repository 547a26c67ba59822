// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileLocks.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
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

// A lock file as found: who owns it and the PID it names.
struct LockFile {
  bool exists = false;
  long ownerUid = -1;
  long pid = 0;          // 0: names none
  const char* why = "";  // when it names none: "empty", "names no process", "cannot be read"
  Clock::time_point changed{};
};

// The PID of a UUCP lock file's text: blanks, digits and a newline ("      1234\n").
long textPid(const char* buf, ssize_t n) {
  long pid = 0;
  bool digits = false, done = false;
  for (ssize_t i = 0; i < n; ++i) {
    const char c = buf[i];
    if (c >= '0' && c <= '9' && !done) {
      if (pid > 99999999) return 0;
      pid = pid * 10 + (c - '0');
      digits = true;
    } else if (c == ' ' || c == '\n') {
      done = done || digits;
    } else {
      return 0;
    }
  }
  return pid;
}

LockFile inspect(const std::string& path) {
  LockFile f;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return f;
  f.exists = true;
  f.ownerUid = static_cast<long>(st.st_uid);
  // How long ago it last changed, on the steady clock: mtime against the wall clock now.
  const auto age =
      std::chrono::system_clock::now() -
      std::chrono::system_clock::time_point(std::chrono::seconds(st.st_mtim.tv_sec) +
                                            std::chrono::nanoseconds(st.st_mtim.tv_nsec));
  f.changed = Clock::now() - std::chrono::duration_cast<Clock::duration>(age);
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    f.why = "cannot be read";
    return f;
  }
  char buf[32] = {};
  const ssize_t n = ::read(fd, buf, sizeof buf - 1);
  ::close(fd);
  if (n < 0) {
    f.why = "cannot be read";
  } else if (n == 0) {
    f.why = "empty";
  } else {
    f.pid = textPid(buf, n);
    // The old binary form is four bytes that are not text ("644\n" is a PID in ASCII).
    const bool text = std::all_of(
        buf, buf + n, [](char c) { return (c >= '0' && c <= '9') || c == ' ' || c == '\n'; });
    if (n == 4 && !text) {
      int binary = 0;
      std::memcpy(&binary, buf, 4);
      if (binary > 0) f.pid = binary;
    }
    if (f.pid == 0) f.why = "names no process";
  }
  return f;
}

bool processAlive(long pid) {
  return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH);
}

// A file naming no process may be taken over once it has stayed so this long: a program writes
// its PID right after creating the file.
constexpr auto kUnfilledGrace = std::chrono::seconds(1);

}  // namespace

LockAttempt FileLock::acquire(const std::string& path, double waitSeconds) {
  LockAttempt attempt{.lockPath = path + ".lock"};
  int fd = ::open(attempt.lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
                  0600);
  if (fd < 0) {
    attempt.osError = errno;
    return attempt;
  }
  const auto deadline = deadlineAfter(waitSeconds);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    // A signal to stop ends the wait as if it had run out: nothing was sent yet.
    if ((error != EWOULDBLOCK && error != EINTR) || Clock::now() >= deadline ||
        terminationSignal() != 0) {
      ::close(fd);
      if (error == EWOULDBLOCK || error == EINTR) {
        attempt.result = LockAttempt::Result::Busy;
      } else {
        attempt.osError = error;
      }
      return attempt;
    }
    pause();
  }
  attempt.result = LockAttempt::Result::Acquired;
  attempt.lock = FileLock(fd);
  return attempt;
}

std::string LockAttempt::reason() const {
  return lockPath + ": " + std::strerror(osError);
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

std::string SerialPortLock::defaultLockFolder() {
  const char* env = std::getenv("PLENAR_LOCK_DIR");
  return env && *env ? env : "/run/lock";
}

std::optional<SerialPortLock> SerialPortLock::acquire(const std::string& devicePath,
                                                      double waitSeconds, long& holder,
                                                      std::string lockFolder) {
  PortLockHolder who;
  auto lock = acquire(devicePath, waitSeconds, who, std::move(lockFolder));
  holder = who.pid;
  return lock;
}

std::optional<SerialPortLock> SerialPortLock::acquire(const std::string& devicePath,
                                                      double waitSeconds, PortLockHolder& holder,
                                                      std::string lockFolder) {
  if (lockFolder.empty()) lockFolder = defaultLockFolder();
  // Two names of one device (a udev link, /dev/serial/by-id/...) share its lock.
  std::string device = devicePath;
  if (char* real = ::realpath(devicePath.c_str(), nullptr)) {
    device = real;
    std::free(real);
  }
  const std::string path = lockFileOf(device, lockFolder);
  holder = PortLockHolder();
  holder.path = path;
  const bool usable = ::access(lockFolder.c_str(), W_OK | X_OK) == 0;
  const auto deadline = deadlineAfter(waitSeconds);
  for (;;) {
    const LockFile found = inspect(path);
    if (!found.exists) {
      if (!usable) return SerialPortLock(std::string());
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
      continue;  // another program took it just now: look at it again
    }
    if (found.pid == ::getpid()) return SerialPortLock(std::string());  // ours already
    holder.ownerUid = found.ownerUid;
    const bool alive = processAlive(found.pid);
    holder.pid = alive ? found.pid : 0;
    holder.stale = alive           ? std::string()
                   : found.pid > 0 ? "process " + std::to_string(found.pid) + " is gone"
                                   : std::string(found.why);
    if (!alive) {
      if (!usable) return SerialPortLock(std::string());
      const bool ownUnfilled = found.ownerUid == static_cast<long>(::geteuid()) &&
                               Clock::now() - found.changed >= kUnfilledGrace;
      if ((found.pid > 0 || ownUnfilled) && ::unlink(path.c_str()) == 0) continue;
    }
    // A signal to stop ends the wait as if it had run out: nothing was sent yet.
    if (terminationSignal() != 0 || Clock::now() >= deadline) return std::nullopt;
    pause();
  }
}

SerialPortLock::~SerialPortLock() {
  if (!path_.empty()) ::unlink(path_.c_str());
}

}  // namespace plenar
