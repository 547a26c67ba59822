// SPDX-License-Identifier: GPL-3.0-or-later
#include "UdpPeer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

UdpPeer::UdpPeer(std::function<Bytes(const Bytes&)> answer) : answer_(std::move(answer)) {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      std::uint8_t buf[4096];
      sockaddr_in from{};
      socklen_t fromLen = sizeof from;
      ssize_t n = ::recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
      if (n < 0) continue;
      Bytes in(buf, buf + n);
      {
        std::lock_guard lock(mutex_);
        received_.push_back(in);
        lastSender_ = from;
      }
      Bytes out = answer_(in);
      if (!out.empty()) {
        ::sendto(fd_, out.data(), out.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLen);
      }
    }
  });
}

UdpPeer::~UdpPeer() {
  stop_ = true;
  thread_.join();
  ::close(fd_);
}

std::vector<UdpPeer::Bytes> UdpPeer::received() {
  std::lock_guard lock(mutex_);
  return received_;
}

sockaddr_in UdpPeer::lastSender() {
  std::lock_guard lock(mutex_);
  return lastSender_;
}
