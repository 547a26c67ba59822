// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plenar::sim {

class Testbed;
class LptPortDevice;

// What the virtual parallel printer shows and does wrong, from "--lpt-fault" texts.
struct LptFaults {
  bool busy = false;      // BUSY stays set: the port takes no byte (writes: EAGAIN)
  bool offline = false;   // SELECT clear: writes fail with EIO
  bool paperOut = false;  // PE set: writes fail with EIO
  int busyReads = 0;      // the first N status reads report busy
  bool claimRefused = false;
  std::optional<std::size_t> writeErrorAfter;  // bytes accepted before writes fail with EIO
  std::optional<std::size_t> vanishAfter;      // bytes accepted before the port disappears
};

// Applies one "--lpt-fault" text ("busy", "offline", "paper-out", "busy-reads:N",
// "claim-refused", "write-error-after:N", "vanish-after:N"). Returns an error text for an
// unknown or malformed one.
std::optional<std::string> parseLptFault(const std::string& text, LptFaults& faults);

// The printer's parallel port LPTn: /dev/lp(n-1) and /dev/parport(n-1) hosted in a testbed.
// Bytes arrive through the lp driver's writes or, in direct mode, on each strobe; the parallel
// port has no return channel, so nothing goes back.
// Threads: one thread at a time (the simulator's loop); the device answers on umockdev's thread.
class LptLink {
 public:
  LptLink(Testbed& testbed, int number, const LptFaults& faults);
  ~LptLink();
  LptLink(const LptLink&) = delete;
  LptLink& operator=(const LptLink&) = delete;

  // Readable while bytes wait.
  int fd() const;
  // The bytes that arrived since the last call. When a vanish fault is due, the port is removed
  // and `vanished` set.
  std::vector<std::uint8_t> read(bool& vanished);
  // "/dev/lp0 /dev/parport0"
  std::string nodes() const;

 private:
  std::unique_ptr<LptPortDevice> device_;
};

}  // namespace plenar::sim
