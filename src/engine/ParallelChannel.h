#pragma once

#include <cstdint>
#include <span>

namespace plenar {

// What the link layer needs of the parallel channel: a write-only port.
// Threads: the worker.
class ParallelChannel {
 public:
  virtual ~ParallelChannel() = default;
  virtual void setPortNumber(int number) = 0;
  virtual void setDirectMode(bool direct) = 0;
  virtual void setIoBase(int base) = 0;
  virtual void activate() = 0;  // throws ECommsError
  virtual void deactivate() = 0;
  virtual bool isActive() const = 0;
  virtual void write(std::span<const std::uint8_t> bytes) = 0;
};

}  // namespace plenar
