// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>
#include <set>

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;

namespace plenar::sim {

// Base of a device whose ioctls are answered by this process: owns the umockdev ioctl handler
// and the set of connected clients (one per open() of a node by a program under the preload).
// umockdev tells nobody when a client closes its node, so the clients are swept before each
// ioctl and clientGone() is called for those that have gone.
// Threads: handleIoctl() runs on umockdev's thread with mutex() held; derived classes take
// mutex() for everything the handler touches and call detachHandler() first in their destructor.
class VirtualDevice {
 public:
  VirtualDevice();
  virtual ~VirtualDevice();
  VirtualDevice(const VirtualDevice&) = delete;
  VirtualDevice& operator=(const VirtualDevice&) = delete;

  UMockdevIoctlBase* handler() const { return handler_; }

 protected:
  // Complete the call with umockdev_ioctl_client_complete() and return true, or return false to
  // leave it to umockdev (which fails it).
  virtual bool handleIoctl(UMockdevIoctlClient* client) = 0;
  virtual void clientGone(UMockdevIoctlClient* client) { (void)client; }
  // Stops the handler: no handleIoctl() runs after this returns.
  void detachHandler();
  std::mutex& mutex() const { return mutex_; }

 private:
  static int onIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
  void sweepClients(UMockdevIoctlClient* current);

  UMockdevIoctlBase* handler_;
  unsigned long signalId_ = 0;
  mutable std::mutex mutex_;
  bool attached_ = true;
  std::set<UMockdevIoctlClient*> clients_;  // each holds a reference
};

}  // namespace plenar::sim
