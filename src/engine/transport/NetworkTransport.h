// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

#include "engine/transport/Transport.h"

namespace plenar {

class TCommThread;
class LinkState;
class UdpSocket;

// The network link: one UDP socket towards the printer's address and port. An answer is the
// next datagram from the printer, looked for here on the worker.
class NetworkTransport : public Transport {
 public:
  NetworkTransport(TCommThread& worker, LinkState& state, UdpSocket& socket);

  Opened open() override;
  void close() override;
  void suspend() override;
  void resume() override;
  void send(std::span<const std::uint8_t> bytes) override;
  bool awaitAck(std::uint16_t command) override;
  std::optional<int> awaitRead(std::span<std::uint8_t> reply) override;

 private:
  void activate();
  // One datagram from the printer within `timeout`; 0 when none came. Throws EWorkerStopping
  // when the program is closing.
  std::size_t receive(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout);

  TCommThread& worker_;
  LinkState& state_;
  UdpSocket& socket_;
};

}  // namespace plenar
