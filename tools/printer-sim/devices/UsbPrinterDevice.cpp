// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/UsbPrinterDevice.h"

#include <sys/ioctl.h>
// After sys/ioctl.h, which defines the _IO macros it uses.
#include <linux/usbdevice_fs.h>
#include <sys/eventfd.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <utility>

#include "devices/FifoWake.h"
#include "devices/Testbed.h"
#include "devices/UsbDescriptors.h"

namespace plenar::sim {

// One URB the host submitted. The umockdev data objects are the host's urb struct and buffer,
// copied into this process; changes to them reach the host when the reap completes.
struct UsbPrinterDevice::Urb {
  UMockdevIoctlClient* client = nullptr;  // not owned: swept clients drop their URBs first
  UMockdevIoctlData* urb = nullptr;       // owned reference
  UMockdevIoctlData* buffer = nullptr;    // owned reference, may be null for a 0-byte URB
  std::uint8_t endpoint = 0;

  ~Urb() {
    if (buffer != nullptr) g_object_unref(buffer);
    if (urb != nullptr) g_object_unref(urb);
  }
  usbdevfs_urb& fields() const { return *reinterpret_cast<usbdevfs_urb*>(urb->data); }
  void finish(int status, int actual) const {
    fields().status = status;
    fields().actual_length = actual;
  }
};

namespace {

void complete(UMockdevIoctlClient* client, long result, int error = 0) {
  umockdev_ioctl_client_complete(client, result, error);
}

// The argument of the call resolved as `size` bytes (a new reference), or null.
UMockdevIoctlData* resolveArg(UMockdevIoctlClient* client, std::size_t size) {
  return umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, nullptr);
}

constexpr const char* kDriverName = "usblp";

}  // namespace

UsbPrinterDevice::UsbPrinterDevice(Testbed& testbed, UsbPrinterIdentity identity)
    : testbed_(testbed),
      identity_(std::move(identity)),
      receivedEvent_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

UsbPrinterDevice::~UsbPrinterDevice() {
  detachHandler();
  unplug();
  std::lock_guard lock(mutex());
  pendingIn_.clear();
  done_.clear();
  if (receivedEvent_ >= 0) ::close(receivedEvent_);
}

std::string UsbPrinterDevice::sysPath() const {
  return "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(identity_.port);
}

std::string UsbPrinterDevice::record() const {
  char node[32];
  std::snprintf(node, sizeof node, "bus/usb/001/%03d", deviceNumber_);
  char ids[64];
  std::snprintf(ids, sizeof ids, "%x/%x/100", identity_.vendorId, identity_.productId);
  char vid[8];
  char pid[8];
  std::snprintf(vid, sizeof vid, "%04x", identity_.vendorId);
  std::snprintf(pid, sizeof pid, "%04x", identity_.productId);
  std::string r;
  r += "P: " + sysPath().substr(4) + "\n";
  r += std::string("N: ") + node + "\n";
  r += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\n";
  r += "E: BUSNUM=001\n";
  r += "E: DEVNUM=" + std::string(node + 12) + "\n";
  r += std::string("E: DEVNAME=/dev/") + node + "\n";
  r += std::string("E: PRODUCT=") + ids + "\n";
  r += "A: busnum=1\\n\nA: devnum=" + std::to_string(deviceNumber_) + "\\n\n";
  r += "A: bConfigurationValue=1\\n\nA: speed=480\\n\n";
  r += std::string("A: idVendor=") + vid + "\\n\nA: idProduct=" + pid + "\\n\n";
  if (!identity_.serial.empty()) r += "A: serial=" + identity_.serial + "\\n\n";
  r += "A: product=" + identity_.product + "\\n\n";
  r +=
      "H: descriptors=" +
      usbPrinterDescriptorsHex(identity_.vendorId, identity_.productId, !identity_.serial.empty()) +
      "\n";
  return r;
}

void UsbPrinterDevice::plug() {
  std::lock_guard lock(mutex());
  if (plugged_) return;
  deviceNumber_ = testbed_.nextUsbDeviceNumber();
  char node[32];
  std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", deviceNumber_);
  node_ = node;
  claimant_ = nullptr;
  // The handler must be in place before the node exists: an fd opened earlier would keep
  // umockdev's default handler.
  testbed_.attachIoctl(node_, handler());
  testbed_.addFromString(record());
  wakes_.push_back(std::make_unique<FifoWake>(testbed_.devPath(node_), identity_.mode));
  plugged_ = true;
}

void UsbPrinterDevice::unplug() {
  std::lock_guard lock(mutex());
  if (!plugged_) return;
  plugged_ = false;
  claimant_ = nullptr;
  completeAllLocked(-ENODEV);
  testbed_.removeDevice(sysPath());
  testbed_.detachIoctl(node_);
  node_.clear();
  toHost_.clear();
}

bool UsbPrinterDevice::plugged() const {
  std::lock_guard lock(mutex());
  return plugged_;
}

std::string UsbPrinterDevice::node() const {
  std::lock_guard lock(mutex());
  return node_;
}

std::vector<std::uint8_t> UsbPrinterDevice::takeReceived() {
  std::lock_guard lock(mutex());
  std::uint64_t count;
  (void)!::read(receivedEvent_, &count, sizeof count);
  return std::exchange(received_, {});
}

void UsbPrinterDevice::send(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex());
  if (!plugged_) return;
  toHost_.insert(toHost_.end(), bytes.begin(), bytes.end());
  fillInTransfers();
}

void UsbPrinterDevice::setKernelDriver(bool bound) {
  std::lock_guard lock(mutex());
  driverBound_ = bound;
}

bool UsbPrinterDevice::kernelDriverBound() const {
  std::lock_guard lock(mutex());
  return driverBound_;
}

bool UsbPrinterDevice::claimed() const {
  std::lock_guard lock(mutex());
  return claimant_ != nullptr;
}

std::size_t UsbPrinterDevice::transfersInFlight() const {
  std::lock_guard lock(mutex());
  return pendingIn_.size() + done_.size();
}

// A bulk IN URB ends with what is there (a short packet), as soon as anything is there.
void UsbPrinterDevice::fillInTransfers() {
  while (!toHost_.empty() && !pendingIn_.empty()) {
    std::unique_ptr<Urb> u = std::move(pendingIn_.front());
    pendingIn_.pop_front();
    const std::size_t room = static_cast<std::size_t>(std::max(0, u->fields().buffer_length));
    const std::size_t n = std::min(room, toHost_.size());
    if (u->buffer != nullptr) std::copy_n(toHost_.begin(), n, u->buffer->data);
    toHost_.erase(toHost_.begin(), toHost_.begin() + static_cast<std::ptrdiff_t>(n));
    u->finish(0, static_cast<int>(n));
    done_.push_back(std::move(u));
  }
  updateWake();
}

void UsbPrinterDevice::completeAllLocked(int status) {
  for (auto& u : pendingIn_) {
    u->finish(status, 0);
    done_.push_back(std::move(u));
  }
  pendingIn_.clear();
  updateWake();
}

void UsbPrinterDevice::updateWake() {
  if (wakes_.empty()) return;
  // Every node of this device (the current one, and earlier ones a host still holds after an
  // unplug) polls ready while a finished URB waits to be reaped.
  const bool ready = !done_.empty();
  for (auto& w : wakes_) w->setReady(ready);
}

void UsbPrinterDevice::clientGone(UMockdevIoctlClient* client) {
  if (claimant_ == client) claimant_ = nullptr;
  auto gone = [client](const std::unique_ptr<Urb>& u) { return u->client == client; };
  pendingIn_.erase(std::remove_if(pendingIn_.begin(), pendingIn_.end(), gone), pendingIn_.end());
  done_.erase(std::remove_if(done_.begin(), done_.end(), gone), done_.end());
  updateWake();
}

bool UsbPrinterDevice::reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  auto it = std::find_if(done_.begin(), done_.end(),
                         [client](const std::unique_ptr<Urb>& u) { return u->client == client; });
  if (it == done_.end()) return false;
  std::unique_ptr<Urb> u = std::move(*it);
  done_.erase(it);
  UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
  if (pointer != nullptr) {
    umockdev_ioctl_data_set_ptr(pointer, 0, u->urb);
    g_object_unref(pointer);
  }
  updateWake();
  return true;
}

bool UsbPrinterDevice::claimOrRelease(UMockdevIoctlClient* client, unsigned long request) {
  UMockdevIoctlData* d = resolveArg(client, sizeof(unsigned int));
  if (d == nullptr) return false;
  unsigned int interface;
  std::memcpy(&interface, d->data, sizeof interface);
  g_object_unref(d);
  if (interface != 0) {
    complete(client, -1, EINVAL);
  } else if (request == USBDEVFS_CLAIMINTERFACE) {
    // The kernel refuses a claim while another program or a kernel driver holds the
    // interface.
    if ((claimant_ != nullptr && claimant_ != client) || driverBound_) {
      complete(client, -1, EBUSY);
    } else {
      claimant_ = client;
      complete(client, 0);
    }
  } else if (claimant_ == client) {
    claimant_ = nullptr;
    complete(client, 0);
  } else {
    complete(client, -1, EINVAL);
  }
  return true;
}

bool UsbPrinterDevice::driverCommand(UMockdevIoctlClient* client) {
  UMockdevIoctlData* d = resolveArg(client, sizeof(usbdevfs_ioctl));
  if (d == nullptr) return false;
  const usbdevfs_ioctl command = *reinterpret_cast<usbdevfs_ioctl*>(d->data);
  g_object_unref(d);
  if (command.ifno != 0) {
    complete(client, -1, EINVAL);
  } else if (command.ioctl_code == USBDEVFS_DISCONNECT) {
    complete(client, driverBound_ ? 0 : -1, driverBound_ ? 0 : ENODATA);
    driverBound_ = false;
  } else if (command.ioctl_code == USBDEVFS_CONNECT) {
    if (claimant_ == nullptr) driverBound_ = true;
    complete(client, claimant_ == nullptr ? 0 : -1, claimant_ == nullptr ? 0 : EBUSY);
  } else {
    complete(client, -1, ENOTTY);
  }
  return true;
}

bool UsbPrinterDevice::disconnectClaim(UMockdevIoctlClient* client) {
  UMockdevIoctlData* d = resolveArg(client, sizeof(usbdevfs_disconnect_claim));
  if (d == nullptr) return false;
  const unsigned int interface = reinterpret_cast<usbdevfs_disconnect_claim*>(d->data)->interface;
  g_object_unref(d);
  if (interface != 0) {
    complete(client, -1, EINVAL);
  } else if (claimant_ != nullptr && claimant_ != client) {
    complete(client, -1, EBUSY);
  } else {
    driverBound_ = false;
    claimant_ = client;
    complete(client, 0);
  }
  return true;
}

bool UsbPrinterDevice::submitUrb(UMockdevIoctlClient* client) {
  auto u = std::make_unique<Urb>();
  u->client = client;
  u->urb = resolveArg(client, sizeof(usbdevfs_urb));
  if (u->urb == nullptr) return false;
  const usbdevfs_urb& f = u->fields();
  u->endpoint = f.endpoint;
  if (f.type != USBDEVFS_URB_TYPE_BULK ||
      (f.endpoint != kEndpointOut && f.endpoint != kEndpointIn) || f.buffer_length < 0) {
    complete(client, -1, EINVAL);
    return true;
  }
  if (claimant_ != nullptr && claimant_ != client) {
    complete(client, -1, EBUSY);
    return true;
  }
  if (f.buffer_length > 0) {
    u->buffer = umockdev_ioctl_data_resolve(u->urb, offsetof(usbdevfs_urb, buffer),
                                            static_cast<std::size_t>(f.buffer_length), nullptr);
    if (u->buffer == nullptr) return false;
  }
  if (u->endpoint == kEndpointOut) {
    // The printer takes every byte at once; the host may reuse its buffer after the reap.
    if (u->buffer != nullptr) {
      received_.insert(received_.end(), u->buffer->data, u->buffer->data + u->buffer->data_len);
    }
    u->finish(0, f.buffer_length);
    done_.push_back(std::move(u));
    const std::uint64_t one = 1;
    (void)!::write(receivedEvent_, &one, sizeof one);
    updateWake();
  } else {
    pendingIn_.push_back(std::move(u));
    fillInTransfers();
  }
  complete(client, 0);
  return true;
}

bool UsbPrinterDevice::discardUrb(
    UMockdevIoctlClient* client) {  // The argument is the host's urb pointer itself.
  const UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  unsigned long address = 0;
  std::memcpy(&address, arg->data, sizeof address);
  auto it = std::find_if(pendingIn_.begin(), pendingIn_.end(), [&](const std::unique_ptr<Urb>& u) {
    return u->client == client && u->urb->client_addr == address;
  });
  if (it == pendingIn_.end()) {
    complete(client, -1, EINVAL);  // already done: the host reaps it
    return true;
  }
  (*it)->finish(-ENOENT, 0);
  done_.push_back(std::move(*it));
  pendingIn_.erase(it);
  updateWake();
  complete(client, 0);
  return true;
}

bool UsbPrinterDevice::handleIoctl(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  const bool current = plugged_ && node_ == std::string(umockdev_ioctl_client_get_devnode(client));

  if (request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB) {
    if (reap(client, umockdev_ioctl_client_get_arg(client))) {
      complete(client, 0);
    } else {
      complete(client, -1, current ? EAGAIN : ENODEV);
    }
    return true;
  }
  if (!current) {
    complete(client, -1, ENODEV);
    return true;
  }

  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* d = resolveArg(client, sizeof(std::uint32_t));
      if (d == nullptr) return false;
      // One URB per transfer, whatever its length.
      const std::uint32_t caps = USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_BULK_CONTINUATION |
                                 USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
      std::memcpy(d->data, &caps, sizeof caps);
      g_object_unref(d);
      complete(client, 0);
      return true;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE:
      return claimOrRelease(client, request);
    case USBDEVFS_GETDRIVER: {
      UMockdevIoctlData* d = resolveArg(client, sizeof(usbdevfs_getdriver));
      if (d == nullptr) return false;
      auto* g = reinterpret_cast<usbdevfs_getdriver*>(d->data);
      const bool bound = g->interface == 0 && driverBound_;
      if (bound) std::snprintf(g->driver, sizeof g->driver, "%s", kDriverName);
      g_object_unref(d);
      complete(client, bound ? 0 : -1, bound ? 0 : ENODATA);
      return true;
    }
    case USBDEVFS_IOCTL:
      return driverCommand(client);
    case USBDEVFS_DISCONNECT_CLAIM:
      return disconnectClaim(client);
    case USBDEVFS_SUBMITURB:
      return submitUrb(client);
    case USBDEVFS_DISCARDURB:
      return discardUrb(client);
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
    case USBDEVFS_RESET:
    case USBDEVFS_SETINTERFACE:
    case USBDEVFS_SETCONFIGURATION:
      complete(client, 0);
      return true;
    default:
      complete(client, -1, ENOTTY);
      return true;
  }
}

}  // namespace plenar::sim
