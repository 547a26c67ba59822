// SPDX-License-Identifier: GPL-3.0-or-later
#include "SerialLink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace plenar::sim {

namespace {
std::runtime_error sysError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}
}  // namespace

SerialLink::SerialLink(std::string linkPath) : linkPath_(std::move(linkPath)) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0) throw sysError("posix_openpt");
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name, sizeof name) != 0) {
    int e = errno;
    ::close(master_);
    errno = e;
    throw sysError("pseudo-terminal setup");
  }
  terminal_ = name;

  closedWatch_ = epoll_create1(EPOLL_CLOEXEC);
  epoll_event ev{};
  ev.events = EPOLLIN | EPOLLET;
  if (closedWatch_ < 0 || epoll_ctl(closedWatch_, EPOLL_CTL_ADD, master_, &ev) != 0) {
    int e = errno;
    if (closedWatch_ >= 0) ::close(closedWatch_);
    ::close(master_);
    errno = e;
    throw sysError("epoll on the pseudo-terminal");
  }

  // A fresh terminal side starts in cooked mode at 38400; set it to the printer's 8N1 raw line so
  // a client that only sets the rate is not surprised by echo or line editing.
  termios t{};
  if (tcgetattr(master_, &t) == 0) {
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(master_, TCSANOW, &t);
  }

  struct stat st {};
  if (lstat(linkPath_.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      ::close(closedWatch_);
      ::close(master_);
      throw std::runtime_error(linkPath_ + " exists and is not a symbolic link");
    }
    ::unlink(linkPath_.c_str());
  }
  if (symlink(terminal_.c_str(), linkPath_.c_str()) != 0) {
    int e = errno;
    ::close(closedWatch_);
    ::close(master_);
    errno = e;
    throw sysError("symlink " + linkPath_);
  }
}

SerialLink::~SerialLink() {
  close();
}

void SerialLink::close() {
  if (master_ < 0) return;
  ::close(closedWatch_);
  closedWatch_ = -1;
  ::close(master_);
  master_ = -1;
  // Remove the link only if it still points at our terminal.
  char target[256];
  ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
  if (n > 0) {
    target[n] = '\0';
    if (terminal_ == target) ::unlink(linkPath_.c_str());
  }
}

bool SerialLink::peerOpen() const {
  if (master_ < 0) return false;
  pollfd p{master_, POLLIN, 0};
  if (poll(&p, 1, 0) < 0) return true;
  return (p.revents & POLLHUP) == 0;
}

void SerialLink::takeClosedWatch() {
  // Takes the edges that made the watch readable (the hang-up, or the tool's first bytes);
  // edge-triggered, the lasting hang-up is not reported again.
  epoll_event event{};
  epoll_wait(closedWatch_, &event, 1, 0);
}

std::vector<std::uint8_t> SerialLink::read(bool& hungUp, std::size_t max) {
  hungUp = false;
  std::vector<std::uint8_t> out;
  if (master_ < 0) return out;
  std::uint8_t buf[4096];
  while (out.size() < max) {
    const std::size_t want = std::min(sizeof buf, max - out.size());
    ssize_t n = ::read(master_, buf, want);
    if (n > 0) {
      out.insert(out.end(), buf, buf + n);
      if (static_cast<std::size_t>(n) < want) break;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EIO) hungUp = true;
    break;
  }
  return out;
}

bool SerialLink::write(std::span<const std::uint8_t> bytes, int timeoutMs) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    if (!peerOpen()) return false;
    ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    pollfd p{master_, POLLOUT, 0};
    if (poll(&p, 1, timeoutMs) <= 0 || (p.revents & (POLLHUP | POLLERR))) return false;
  }
  return true;
}

void SerialLink::discardUnread() {
  // The bytes wait in the terminal side's input queue, which only that side can flush. The tool
  // has just closed it, so open it briefly (as root TIOCEXCL does not stop us; otherwise the
  // open may fail and the bytes stay, as they would in a port whose driver keeps them).
  int fd = ::open(terminal_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  tcflush(fd, TCIFLUSH);
  ::close(fd);
}

}  // namespace plenar::sim
