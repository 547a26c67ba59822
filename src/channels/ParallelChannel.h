// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

namespace plenar {

// What the engine needs of the parallel channel: a write-only port.
// Threads: the worker.
class ParallelChannel {
 public:
  virtual ~ParallelChannel() = default;
  virtual void setPortNumber(int number) = 0;  // LPTn; throws ECommsError outside 0..255
  virtual void setDirectMode(bool direct) = 0;
  virtual void setIoBase(int base) = 0;
  virtual void open() = 0;  // throws ECommsError
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // Throws ECommunicationException when the port or the printer refuses the bytes.
  virtual void send(std::span<const std::uint8_t> bytes) = 0;
};

}  // namespace plenar
