// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A pseudo-terminal pair: the test keeps the master (the printer's end of the line) and hands
// the slave's path to the component under test. The master is non-blocking; its helpers wait
// with bounded time-outs. tcgetattr on the master reports the slave's line settings.
class PtyPair {
 public:
  PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      throw std::runtime_error("cannot create a pseudo-terminal pair");
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) {
      throw std::runtime_error("ptsname_r failed");
    }
    slavePath_ = name;
  }
  ~PtyPair() { closeMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& slavePath() const { return slavePath_; }
  int master() const { return master_; }
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  termios slaveTermios() const {
    termios t{};
    if (::tcgetattr(master_, &t) != 0) throw std::runtime_error("tcgetattr on the master failed");
    return t;
  }

  // Writes everything, waiting while the line is full. False on an error or time-out.
  bool writeAll(const std::vector<std::uint8_t>& bytes,
                std::chrono::milliseconds timeout = std::chrono::seconds(20)) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      if (!waitFor(POLLOUT, deadline)) return false;
    }
    return true;
  }

  // Reads until `count` bytes have arrived or the time-out ran out; returns what arrived.
  std::vector<std::uint8_t> readExactly(
      std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::uint8_t> out(count);
    std::size_t done = 0;
    while (done < count) {
      const ssize_t n = ::read(master_, out.data() + done, count - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) break;
      if (!waitFor(POLLIN, deadline)) break;
    }
    out.resize(done);
    return out;
  }

 private:
  bool waitFor(short events, std::chrono::steady_clock::time_point deadline) const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{master_, events, 0};
    return ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 100))) >= 0;
  }

  int master_ = -1;
  std::string slavePath_;
};

// Bytes 0..255 in a scrambled order that repeats only after a long stretch, so that a lost,
// doubled or swapped block shows.
inline std::vector<std::uint8_t> testPattern(std::size_t count, std::uint32_t seed = 1) {
  std::vector<std::uint8_t> bytes(count);
  std::uint32_t x = seed * 2654435761u + 1;
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return bytes;
}
