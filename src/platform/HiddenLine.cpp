// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/HiddenLine.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/SecretMemory.h"
#include "platform/TerminationSignals.h"

namespace plenar {
namespace {

// How often the wait for a key looks whether a signal asked the run to stop.
constexpr int kSignalLookMs = 50;

// Echo off for its lifetime; the settings it found are put back whatever way it ends.
class EchoOff {
 public:
  explicit EchoOff(int fd) : fd_(fd) {
    if (::tcgetattr(fd_, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHOE | ECHOK | ECHONL));
    active_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() { restore(); }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
  explicit operator bool() const { return active_; }
  void restore() {
    if (!active_) return;
    while (::tcsetattr(fd_, TCSANOW, &saved_) != 0 && errno == EINTR) {
    }
    active_ = false;
  }

 private:
  int fd_;
  termios saved_{};
  bool active_ = false;
};

}  // namespace

bool isTerminal(int fd) {
  termios t{};
  return ::isatty(fd) == 1 && ::tcgetattr(fd, &t) == 0;
}

HiddenLine readHiddenLine(int fd, const std::string& prompt, std::size_t maxBytes) {
  HiddenLine out;
  // Echo off before the prompt: what is typed once the prompt shows is never echoed, nor
  // discarded by the flush that turning echo off makes.
  EchoOff echoOff(fd);
  if (!echoOff) {
    out.error = errno;
    return out;
  }
  std::fprintf(stderr, "%s", prompt.c_str());
  std::fflush(stderr);
  auto finish = [&](HiddenLine::Status status) {
    const int saved = errno;
    echoOff.restore();
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    if (status != HiddenLine::Status::Read) wipe(out.text);
    out.status = status;
    out.error = status == HiddenLine::Status::Failed ? saved : 0;
    return out;
  };
  // Room for the whole line at once: a string that grew would leave copies of the first
  // characters behind in memory it gave back.
  out.text.reserve(maxBytes + 1);
  bool tooLong = false;
  for (;;) {
    if (terminationSignal() != 0) {
      // What was typed but not entered would otherwise be read by the shell after the run.
      ::tcflush(fd, TCIFLUSH);
      return finish(HiddenLine::Status::Stopped);
    }
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, kSignalLookMs);
    if (ready < 0 && errno != EINTR) return finish(HiddenLine::Status::Failed);
    if (ready <= 0) continue;
    char c = 0;
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n < 0) return finish(HiddenLine::Status::Failed);
    const bool end = n == 0 || c == '\n';
    // A line too long is read to its end all the same, so that none of it is left for the shell.
    if (!end) {
      tooLong = tooLong || out.text.size() == maxBytes;
      if (!tooLong) out.text += c;
    }
    c = 0;
    if (end) return finish(tooLong ? HiddenLine::Status::TooLong : HiddenLine::Status::Read);
  }
}

}  // namespace plenar
