// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace plenar {

// One link (serial, network, USB, parallel) as the link layer uses it: a table of access methods
// over that link's channel. The link layer keeps frames, retries, rate switching and the identify
// request; a transport only moves bytes and says whether an answer came.
// Threads: the worker.
class Transport {
 public:
  // What the link layer does once the link is open.
  struct Opened {
    bool atDeviceRate = false;  // switch to the transfer rate first
    bool answers = false;       // the printer answers: send the identify request
  };

  virtual ~Transport() = default;
  // Opens the link of the running command's snapshot for a command.
  virtual Opened open() = 0;
  virtual void close() = 0;
  // The firmware update's wait for the restart: suspend() releases the channel without clearing
  // LinkOpen, resume() takes it again with its current settings.
  virtual void suspend() = 0;
  virtual void resume() = 0;
  // Writes the bytes (at least one) over the link; throws when they cannot go out.
  virtual void send(std::span<const std::uint8_t> bytes) = 0;
  // After a request frame of `command` went out: true once it is acknowledged, or when the link
  // cannot tell.
  virtual bool awaitAck(std::uint16_t command) = 0;
  // After a read request went out: the reply's data length once it answered, its data (with the
  // check byte and what follows, as far as they reach) copied to the start of `reply`.
  virtual std::optional<int> awaitRead(std::span<std::uint8_t> reply) = 0;
};

}  // namespace plenar
