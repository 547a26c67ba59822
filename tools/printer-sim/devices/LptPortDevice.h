// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "devices/VirtualDevice.h"

namespace plenar::sim {

class Testbed;

struct LptPortIdentity {
  int number = 1;  // LPTn: /dev/lp(n-1), /dev/parport(n-1)
  // Written to /proc/sys/dev/parport/parport(n-1)/base-addr; none: the file is missing.
  std::optional<std::uint16_t> ioBase = 0x378;
  bool ppdev = true;  // also /dev/parport(n-1) for direct register access
  // lp(n-1) sits under its parport in sysfs; false: under the port's hardware (the pnp device),
  // beside the parport, as some kernels register it.
  bool lpUnderParport = true;
};

// A parallel port with a printer on it, in a testbed: the lp node (class "printer", 6:n-1) takes
// the bytes the host writes and answers LPRESET, LPABORT and LPGETSTATUS; the ppdev node answers
// claim/release and the data, status and control registers, refusing register access before a
// claim (EINVAL) as the kernel does, and latches the data register on each strobe pulse (control
// bit 0 set). Writes fail with EIO while the printer is out of paper or a write fault is set, as
// the lp driver reports them to a program that asked for LPABORT, and with EAGAIN while it is
// busy, as for a port opened non-blocking.
// Threads: every member may be called from any thread; ioctls and writes arrive on umockdev's
// thread.
class LptPortDevice : public VirtualDevice {
 public:
  // Status register bits as the port shows them (BUSY inverted, nFault and nAck active low).
  static constexpr std::uint8_t kStatusReady = 0xD8;  // not busy, online, no fault

  LptPortDevice(Testbed& testbed, LptPortIdentity identity);
  ~LptPortDevice() override;

  // The port and its nodes disappear: later opens fail (no node), writes and ioctls on nodes
  // still open fail with ENODEV, and "remove" reaches udev watchers.
  void vanish();
  bool present() const;

  // Printer lines. The status read by the host is composed from these.
  void setOnline(bool on);
  void setBusy(bool on);
  void setPaperOut(bool on);
  // The next `reads` status reads report busy, then the lines above apply again.
  void setBusyForReads(int reads);
  std::uint8_t status() const;
  // Every write fails with EIO.
  void setWriteFault(bool on);
  // PPCLAIM is refused with EBUSY (another program holds the port).
  void setClaimRefused(bool on);
  // Once `bytes` more bytes have reached the printer, every later write fails: with ENODEV when
  // `vanish` (the port is gone; its owner then calls vanish(), see vanishDue()), else with EIO.
  void failAfter(std::size_t bytes, bool vanish);
  bool vanishDue() const;

  // An eventfd readable while takeReceived() has bytes.
  int receivedFd() const { return receivedEvent_; }
  // Bytes that reached the printer since the last call (lp writes and strobed data), in order.
  std::vector<std::uint8_t> takeReceived();

  // What the host did, for tests: LPRESET requests, and every register write through ppdev
  // as "D=41", "C=01" in order.
  int resets() const;
  std::vector<std::string> registerWrites() const;
  bool claimed() const;

  std::string lpNode() const;       // "/dev/lp0"
  std::string parportNode() const;  // "/dev/parport0"

 protected:
  bool handleIoctl(UMockdevIoctlClient* client) override;
  void clientGone(UMockdevIoctlClient* client) override;

 private:
  static int onWrite(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
  bool handleWrite(UMockdevIoctlClient* client);
  bool handleLp(UMockdevIoctlClient* client, unsigned long request);
  bool handlePpdev(UMockdevIoctlClient* client, unsigned long request);
  std::uint8_t composeStatusLocked() const;
  std::uint8_t readStatusLocked();
  void receiveLocked(const std::uint8_t* bytes, std::size_t count);
  std::string record() const;
  std::string hardwarePath() const;  // under /sys, without the /sys
  std::string lpPath() const;

  Testbed& testbed_;
  LptPortIdentity identity_;
  unsigned long writeSignal_ = 0;
  int receivedEvent_ = -1;
  bool present_ = false;
  bool online_ = true;
  bool busy_ = false;
  bool paperOut_ = false;
  int busyReads_ = 0;
  bool writeFault_ = false;
  bool claimRefused_ = false;
  std::optional<std::size_t> failAfter_;  // bytes still accepted before writes fail
  bool failByVanishing_ = false;
  std::set<UMockdevIoctlClient*> claimants_;
  std::uint8_t data_ = 0;
  std::uint8_t control_ = 0;
  int resets_ = 0;
  std::vector<std::string> registerWrites_;
  std::vector<std::uint8_t> received_;
};

}  // namespace plenar::sim
