// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/FifoWake.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace plenar::sim {
namespace {

constexpr int kPage = 4096;

}  // namespace

FifoWake::FifoWake(const std::string& path, unsigned mode) {
  ::unlink(path.c_str());
  if (::mkfifo(path.c_str(), mode) != 0) {
    throw std::runtime_error("mkfifo " + path + ": " + std::strerror(errno));
  }
  ::chmod(path.c_str(), mode);  // mkfifo applied the umask
  // Read and write ends in one descriptor: opening never blocks and the FIFO never reports a
  // hang-up to the other side.
  fd_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error("open " + path + ": " + std::strerror(errno));
  // One page: full after one page-sized write, writable again once that page is read.
  (void)::fcntl(fd_, F_SETPIPE_SZ, kPage);
  ready_ = true;
  setReady(false);
}

FifoWake::~FifoWake() {
  if (fd_ >= 0) ::close(fd_);
}

void FifoWake::setReady(bool ready) {
  if (ready == ready_) return;
  std::array<char, kPage> page{};
  if (ready) {
    while (::read(fd_, page.data(), page.size()) > 0) {
    }
  } else {
    while (::write(fd_, page.data(), page.size()) > 0) {
    }
  }
  ready_ = ready;
}

}  // namespace plenar::sim
