// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/transport/Transport.h"

namespace plenar {

class TCommThread;
class LinkState;
class ParallelChannel;

// The parallel link: a write-only printer port. It has no return channel, so a request counts as
// answered once the port took its bytes (after a pause the printer needs to take them in).
class ParallelTransport : public Transport {
 public:
  // `channel` may be null: opening the link then fails with a message.
  ParallelTransport(TCommThread& worker, LinkState& state, ParallelChannel* channel);

  Opened open() override;
  void close() override;
  void suspend() override;
  void resume() override { activate(); }
  void send(std::span<const std::uint8_t> bytes) override;
  bool awaitAck(std::uint16_t command) override;
  std::optional<int> awaitRead(std::span<std::uint8_t> reply) override;

 private:
  // The port of the snapshot, always the plain printer port at the standard address (never
  // direct port access), then 100 ms for the printer.
  void activate();
  ParallelChannel& channel();

  TCommThread& worker_;
  LinkState& state_;
  ParallelChannel* channel_;
};

}  // namespace plenar
