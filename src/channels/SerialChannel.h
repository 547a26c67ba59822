// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace plenar {

// What the engine needs of the serial channel: one port, opened at a rate, written without
// blocking. Received bytes reach the engine through the channel's own event.
// Threads: one thread at a time (the worker; the owner thread between commands).
class SerialChannel {
 public:
  virtual ~SerialChannel() = default;
  // A device path; COMn stands for /dev/ttyS(n-1). Takes effect at the next open.
  virtual void setPortName(const std::string& name) = 0;
  // Applied at once while open.
  virtual void setRate(std::uint32_t rate) = 0;
  virtual std::uint32_t rate() const = 0;
  virtual void open() = 0;  // throws ECommsError
  // Closes at once: what is still queued is dropped.
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // Queues a copy of at most 65535 bytes; false when the port is closed or the writer ended.
  virtual bool send(std::span<const std::uint8_t> bytes) = 0;
  // Waits until every queued byte has left the driver; false when nothing moved for `stall`,
  // or at once when `giveUp` says so.
  virtual bool waitSendComplete(std::chrono::milliseconds stall,
                                const std::function<bool()>& giveUp) = 0;
};

}  // namespace plenar
