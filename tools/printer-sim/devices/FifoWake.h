// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace plenar::sim {

// The wake-up line of a virtual device node. umockdev backs a node with a regular file, which
// poll() always reports ready, so a program waiting on the node (libusb's event thread waits for
// POLLOUT on a usbfs node) would spin. This replaces the node by a FIFO of one page that is kept
// full: the node polls ready only while setReady(true), as the kernel reports a usbfs node
// writable only while a finished URB waits to be reaped.
// Threads: one thread at a time (the device's lock).
class FifoWake {
 public:
  // Replaces the file at `path` (inside the testbed) by the FIFO; `mode` is its permission bits.
  // Throws std::runtime_error.
  FifoWake(const std::string& path, unsigned mode);
  ~FifoWake();
  FifoWake(const FifoWake&) = delete;
  FifoWake& operator=(const FifoWake&) = delete;

  void setReady(bool ready);
  bool ready() const { return ready_; }

 private:
  int fd_ = -1;
  bool ready_ = false;
};

}  // namespace plenar::sim
