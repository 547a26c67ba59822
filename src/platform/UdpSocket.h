// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

namespace plenar {

// The network link: one UDP socket bound to any local port and connected to the printer's
// address and port, so the kernel delivers only the printer's datagrams to it.
// Threads: one thread at a time (the worker).
class UdpSocket {
 public:
  UdpSocket() = default;
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Opens (or reopens) the socket towards host:port. Throws ECommsError when the address does
  // not resolve or the socket cannot be made.
  void activate(const std::string& host, int port);
  // Reopens towards the last address; throws like activate().
  void reactivate();
  void deactivate();
  bool isActive() const { return fd_ >= 0; }

  // Sends one datagram; errors are ignored (a lost datagram shows up as a missing reply).
  void send(std::span<const std::uint8_t> bytes);
  // Waits up to `timeout` for one datagram from the printer; returns its size (at most
  // buffer.size(), the rest of a longer datagram is dropped) or 0 when none came.
  std::size_t receive(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout);

 private:
  int fd_ = -1;
  std::string host_;
  int port_ = 0;
};

}  // namespace plenar
