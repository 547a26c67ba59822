// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/UdpSocket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "shared/Errors.h"

namespace plenar {
namespace {

bool resolveIpv4(const std::string& host, in_addr& out) {
  if (::inet_pton(AF_INET, host.c_str(), &out) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* result = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) {
    return false;
  }
  out = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr;
  ::freeaddrinfo(result);
  return true;
}

}  // namespace

UdpSocket::~UdpSocket() {
  deactivate();
}

void UdpSocket::activate(const std::string& host, int port) {
  deactivate();
  host_ = host;
  port_ = port;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  if (port < 1 || port > 65535 || !resolveIpv4(host, addr.sin_addr)) {
    throw ECommsError("Invalid printer address " + host + ":" + std::to_string(port));
  }
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw ECommsError("Cannot create UDP socket", errno);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    int err = errno;
    ::close(fd);
    throw ECommsError(
        "Cannot reach " + host + ":" + std::to_string(port) + ": " + std::strerror(err), err);
  }
  fd_ = fd;
}

void UdpSocket::reactivate() {
  activate(host_, port_);
}

void UdpSocket::deactivate() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void UdpSocket::send(std::span<const std::uint8_t> bytes) {
  if (fd_ < 0) return;
  (void)::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

std::size_t UdpSocket::receive(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) {
  if (fd_ < 0) return 0;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) return 0;
    pollfd p{fd_, POLLIN, 0};
    int rc = ::poll(&p, 1, static_cast<int>(left.count()));
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0) return 0;
    ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n > 0) return static_cast<std::size_t>(n);
    // A refused earlier datagram (nothing listening yet) reports ECONNREFUSED once; an empty
    // datagram carries nothing. Both mean: keep waiting for the real answer.
    if (n < 0 && errno != ECONNREFUSED && errno != EAGAIN && errno != EINTR) return 0;
  }
}

}  // namespace plenar
