// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace plenar {

// What the engine needs of the USB channel. The channel delivers received bytes, arrivals and
// removals on the owner thread.
// Threads: the worker (open, close, send) and the owner thread (devices, select, the handlers).
class UsbChannel {
 public:
  virtual ~UsbChannel() = default;
  // The present devices as VID_xxxx&PID_yyyy&<serial number or bus port>, each one once.
  virtual std::vector<std::string> devices() = 0;
  // The device the next open looks for, as listed.
  virtual void select(const std::string& entry) = 0;
  virtual void open() = 0;  // throws ECommsError
  virtual void close() = 0;
  // Queues a copy; false when closed, empty, too long or once the writer ended.
  virtual bool send(std::span<const std::uint8_t> bytes) = 0;
  virtual void setSendDataEmpty(bool empty) = 0;
};

}  // namespace plenar
