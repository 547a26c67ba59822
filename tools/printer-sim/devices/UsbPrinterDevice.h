// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "devices/VirtualDevice.h"

typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace plenar::sim {

class Testbed;
class FifoWake;

struct UsbPrinterIdentity {
  std::uint16_t vendorId = 0x1234;
  std::uint16_t productId = 0x811E;
  std::string serial = "PLENAR0001";  // empty: the device has no serial-number string
  std::string product = "Plenar Printer";
  int port = 1;          // root-hub port: the device is 1-<port> on bus 1
  unsigned mode = 0666;  // permission bits of the device node
};

// A USB printer (class 7, one interface, bulk OUT 0x01 and bulk IN 0x82) in a testbed, answering
// the usbfs ioctls that libusb issues: capabilities, claim/release, kernel-driver query, detach
// and attach, URB submit/reap/discard. Bytes the host writes are collected for the owner; bytes
// the owner sends fill the host's pending IN transfers, each completing with what was there.
// Every plug gives the device a new device number and node, as the kernel does.
// Threads: every member may be called from any thread; ioctls arrive on umockdev's thread.
class UsbPrinterDevice : public VirtualDevice {
 public:
  static constexpr std::uint8_t kEndpointOut = 0x01;
  static constexpr std::uint8_t kEndpointIn = 0x82;

  UsbPrinterDevice(Testbed& testbed, UsbPrinterIdentity identity);
  ~UsbPrinterDevice() override;

  // Adds the device; "add" reaches udev watchers. Nothing when plugged.
  void plug();
  // Ends every transfer in flight with "no device", refuses all further calls on open nodes and
  // removes the device; "remove" reaches udev watchers. Nothing when unplugged.
  void unplug();
  bool plugged() const;

  // An eventfd that is readable while takeReceived() has bytes.
  int receivedFd() const { return receivedEvent_; }
  // The bytes the host wrote since the last call, in order.
  std::vector<std::uint8_t> takeReceived();
  // Queues bytes for the bulk IN endpoint.
  void send(std::span<const std::uint8_t> bytes);

  // A kernel driver (usblp) bound to the printer interface blocks a claim until it is detached.
  void setKernelDriver(bool bound);
  bool kernelDriverBound() const;
  bool claimed() const;
  std::size_t transfersInFlight() const;
  std::string node() const;  // "/dev/bus/usb/001/00N" of the current plug, "" when unplugged

 protected:
  bool handleIoctl(UMockdevIoctlClient* client) override;
  void clientGone(UMockdevIoctlClient* client) override;

 private:
  struct Urb;
  void fillInTransfers();
  void completeAllLocked(int status);
  void updateWake();
  bool reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  // The usbfs requests that take more than a line to answer.
  bool claimOrRelease(UMockdevIoctlClient* client, unsigned long request);
  bool driverCommand(UMockdevIoctlClient* client);
  bool disconnectClaim(UMockdevIoctlClient* client);
  bool submitUrb(UMockdevIoctlClient* client);
  bool discardUrb(UMockdevIoctlClient* client);
  std::string sysPath() const;
  std::string record() const;

  Testbed& testbed_;
  UsbPrinterIdentity identity_;
  int receivedEvent_ = -1;
  int deviceNumber_ = 0;  // of the current or last plug
  bool plugged_ = false;
  bool driverBound_ = false;
  UMockdevIoctlClient* claimant_ = nullptr;
  std::string node_;
  std::vector<std::unique_ptr<FifoWake>> wakes_;  // one per plug; the last is current
  std::vector<std::uint8_t> received_;
  std::deque<std::uint8_t> toHost_;
  std::deque<std::unique_ptr<Urb>> pendingIn_;
  std::deque<std::unique_ptr<Urb>> done_;
};

}  // namespace plenar::sim
