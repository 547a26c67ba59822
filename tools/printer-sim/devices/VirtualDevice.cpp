// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/VirtualDevice.h"

#include <umockdev.h>

#include <atomic>
#include <cerrno>
#include <vector>

namespace plenar::sim {
namespace {

// umockdev's thread learns of a new device through GLib, whose locking ThreadSanitizer cannot
// see; this release (end of construction) and acquire (start of each call) let it see that the
// device, its mutex included, was built before the handler touches it.
std::atomic<unsigned> devicesBuilt{0};

}  // namespace

VirtualDevice::VirtualDevice() : handler_(umockdev_ioctl_base_new()) {
  signalId_ = g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&VirtualDevice::onIoctl), this);
  devicesBuilt.fetch_add(1, std::memory_order_release);
}

VirtualDevice::~VirtualDevice() {
  detachHandler();
  for (auto* c : clients_) g_object_unref(c);
  g_object_unref(handler_);
}

void VirtualDevice::detachHandler() {
  std::lock_guard lock(mutex_);
  if (!attached_) return;
  attached_ = false;
  g_signal_handler_disconnect(handler_, signalId_);
}

int VirtualDevice::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
  devicesBuilt.load(std::memory_order_acquire);
  auto* device = static_cast<VirtualDevice*>(self);
  std::lock_guard lock(device->mutex_);
  if (!device->attached_) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return TRUE;
  }
  device->sweepClients(client);
  return device->handleIoctl(client) ? TRUE : FALSE;
}

void VirtualDevice::sweepClients(UMockdevIoctlClient* current) {
  std::vector<UMockdevIoctlClient*> gone;
  for (auto* c : clients_) {
    if (c != current && !umockdev_ioctl_client_get_connected(c)) gone.push_back(c);
  }
  for (auto* c : gone) {
    clientGone(c);
    clients_.erase(c);
    g_object_unref(c);
  }
  if (clients_.insert(current).second) g_object_ref(current);
}

}  // namespace plenar::sim
