// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A raw UDP endpoint on 127.0.0.1 standing in for a printer: every datagram it receives is
// recorded and handed to `answer`, whose result (if not empty) goes back to the sender.
class UdpPeer {
 public:
  using Bytes = std::vector<std::uint8_t>;
  explicit UdpPeer(std::function<Bytes(const Bytes&)> answer);
  ~UdpPeer();
  int port() const { return port_; }
  std::vector<Bytes> received();
  sockaddr_in lastSender();

 private:
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::function<Bytes(const Bytes&)> answer_;
  std::mutex mutex_;
  std::vector<Bytes> received_;
  sockaddr_in lastSender_{};
  std::thread thread_;
};
