// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>
#include <string>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;

namespace plenar::sim {

// One umockdev testbed: a private /sys and /dev that programs running under the umockdev preload
// library (with UMOCKDEV_DIR set to root()) see instead of the real ones. Creating it sets
// UMOCKDEV_DIR in this process. Devices are added from udev-style records (P:/N:/E:/A:/H: lines);
// under the preload an add or remove reaches udev monitors (and so libusb hot-plug) as a uevent.
// Threads: any thread; changes to the testbed are made one at a time. Ioctl handlers attached here
// run on umockdev's own thread.
class Testbed {
 public:
  // Throws std::runtime_error when umockdev cannot create the folders, or when they lie too
  // deep for a device's Unix socket (TMPDIR too long).
  Testbed();
  ~Testbed();  // removes the folders
  Testbed(const Testbed&) = delete;
  Testbed& operator=(const Testbed&) = delete;

  const std::string& root() const { return root_; }
  // Path of a /dev node inside the testbed ("/dev/bus/usb/001/002" -> root + that).
  std::string devPath(const std::string& node) const { return root_ + node; }

  // Adds a device record; throws std::runtime_error with umockdev's message on a parse error.
  void addFromString(const std::string& record);
  // Sends "remove" for the device, then removes it (its /sys folder and /dev node). umockdev's
  // own removal sends nothing, and the event must go first: a watcher reads the device's
  // properties from its /sys folder. `sysPath` starts at /sys, e.g. "/sys/devices/usb1/1-1".
  void removeDevice(const std::string& sysPath);
  // ioctls (and read/write, if the handler takes them) on `node` go to `handler` from the next
  // open on; attach before the node exists, an fd opened earlier keeps the default handler.
  // Throws std::runtime_error when the node's socket path would be too long.
  void attachIoctl(const std::string& node, UMockdevIoctlBase* handler);
  void detachIoctl(const std::string& node);
  // A USB device number not used before in this testbed (2, 3, ...; 1 is the root hub's), as
  // the kernel hands out a new one at every plug.
  int nextUsbDeviceNumber() {
    std::lock_guard lock(mutex_);
    return ++lastUsbDeviceNumber_;
  }

 private:
  // Empty when the socket of `node` under `root` fits, else the reason it does not.
  static std::string socketTooLong(const std::string& root, const std::string& node);

  std::mutex mutex_;
  UMockdevTestbed* testbed_ = nullptr;
  std::string root_;
  int lastUsbDeviceNumber_ = 1;
};

}  // namespace plenar::sim
