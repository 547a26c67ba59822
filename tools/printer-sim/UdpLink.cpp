// SPDX-License-Identifier: GPL-3.0-or-later
#include "UdpLink.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <stdexcept>

namespace plenar::sim {

std::string addressText(const sockaddr_in& a) {
  char buf[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a.sin_addr, buf, sizeof buf);
  return std::string(buf) + ":" + std::to_string(ntohs(a.sin_port));
}

UdpLink::UdpLink(const std::string& addressAndPort) {
  auto colon = addressAndPort.rfind(':');
  if (colon == std::string::npos) throw std::runtime_error("--udp needs ADDR:PORT");
  std::string host = addressAndPort.substr(0, colon);
  std::string portText = addressAndPort.substr(colon + 1);
  int port = -1;
  auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
  if (ec != std::errc() || end != portText.data() + portText.size() || port < 0 || port > 65535) {
    throw std::runtime_error("bad UDP port '" + portText + "'");
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  if (inet_pton(AF_INET, host.c_str(), &a.sin_addr) != 1) {
    throw std::runtime_error("bad UDP address '" + host + "'");
  }
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
  if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    int e = errno;
    ::close(fd_);
    fd_ = -1;
    throw std::runtime_error("bind " + addressAndPort + ": " + std::strerror(e));
  }
  socklen_t len = sizeof bound_;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&bound_), &len);
}

UdpLink::~UdpLink() {
  close();
}

void UdpLink::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::string UdpLink::address() const {
  return addressText(bound_);
}
int UdpLink::port() const {
  return ntohs(bound_.sin_port);
}

bool UdpLink::receive(Datagram& out) {
  if (fd_ < 0) return false;
  out.bytes.resize(kMaxDatagram);
  socklen_t len = sizeof out.from;
  ssize_t n;
  do {
    n = recvfrom(fd_, out.bytes.data(), out.bytes.size(), 0, reinterpret_cast<sockaddr*>(&out.from),
                 &len);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    out.bytes.clear();
    return false;
  }
  out.bytes.resize(static_cast<std::size_t>(n));
  return true;
}

void UdpLink::send(std::span<const std::uint8_t> bytes, const sockaddr_in& to) {
  if (fd_ < 0) return;
  // A datagram the network cannot take is lost, as on a real network.
  sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

}  // namespace plenar::sim
