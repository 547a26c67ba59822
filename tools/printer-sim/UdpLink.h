// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace plenar::sim {

// The printer's network port: one UDP socket. Each datagram is one piece of input; the answer
// goes back to its sender as one datagram.
// Threads: one thread at a time.
class UdpLink {
 public:
  static constexpr std::size_t kMaxDatagram = 65536;

  // "ADDR:PORT"; port 0 picks a free port. Throws std::runtime_error.
  explicit UdpLink(const std::string& addressAndPort);
  ~UdpLink();
  UdpLink(const UdpLink&) = delete;
  UdpLink& operator=(const UdpLink&) = delete;

  int fd() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }
  std::string address() const;  // "ADDR:PORT" with the port actually bound
  int port() const;

  struct Datagram {
    std::vector<std::uint8_t> bytes;
    sockaddr_in from{};
  };
  // False when no datagram is waiting.
  bool receive(Datagram& out);
  void send(std::span<const std::uint8_t> bytes, const sockaddr_in& to);
  void close();

 private:
  int fd_ = -1;
  sockaddr_in bound_{};
};

std::string addressText(const sockaddr_in& a);

}  // namespace plenar::sim
