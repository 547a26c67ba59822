// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/LptPortDevice.h"

#include <linux/lp.h>
#include <linux/ppdev.h>
#include <sys/eventfd.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

#include "devices/Testbed.h"

namespace plenar::sim {
namespace {

std::string hexByte(char reg, std::uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%c=%02X", reg, value);
  return text;
}

// Resolves `size` bytes of the ioctl's argument in the caller's memory.
std::uint8_t* argBytes(UMockdevIoctlClient* client, std::size_t size) {
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  GError* error = nullptr;
  UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, size, &error);
  if (data == nullptr) {
    if (error != nullptr) g_error_free(error);
    return nullptr;
  }
  return data->data;
}

}  // namespace

LptPortDevice::LptPortDevice(Testbed& testbed, LptPortIdentity identity)
    : testbed_(testbed), identity_(identity) {
  receivedEvent_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (receivedEvent_ < 0) throw std::runtime_error("eventfd: " + std::string(strerror(errno)));
  writeSignal_ =
      g_signal_connect(handler(), "handle-write", G_CALLBACK(&LptPortDevice::onWrite), this);
  // The handler must be in place before the nodes exist, or opens bypass it.
  testbed_.attachIoctl(lpNode(), handler());
  if (identity_.ppdev) testbed_.attachIoctl(parportNode(), handler());
  if (identity_.ioBase) {
    const auto dir = std::filesystem::path(testbed_.root()) / "proc/sys/dev/parport" /
                     ("parport" + std::to_string(identity_.number - 1));
    std::filesystem::create_directories(dir);
    // The kernel shows the base in decimal, then the ECP base.
    std::ofstream(dir / "base-addr") << *identity_.ioBase << "\t0\n";
  }
  // Under the lock: the handler runs on umockdev's thread, which learns of this object through
  // GLib, whose locking ThreadSanitizer cannot see; the handler takes the same lock.
  std::lock_guard lock(mutex());
  present_ = true;
  testbed_.addFromString(record());
}

LptPortDevice::~LptPortDevice() {
  g_signal_handler_disconnect(handler(), writeSignal_);
  detachHandler();
  testbed_.detachIoctl(lpNode());
  if (identity_.ppdev) testbed_.detachIoctl(parportNode());
  ::close(receivedEvent_);
}

std::string LptPortDevice::lpNode() const {
  return "/dev/lp" + std::to_string(identity_.number - 1);
}

std::string LptPortDevice::parportNode() const {
  return "/dev/parport" + std::to_string(identity_.number - 1);
}

std::string LptPortDevice::hardwarePath() const {
  return "/devices/pnp0/00:0" + std::to_string(identity_.number - 1);
}

std::string LptPortDevice::lpPath() const {
  const std::string k = std::to_string(identity_.number - 1);
  return hardwarePath() + (identity_.lpUnderParport ? "/parport" + k : "/printer") + "/lp" + k;
}

std::string LptPortDevice::record() const {
  const std::string k = std::to_string(identity_.number - 1);
  const std::string port = hardwarePath() + "/parport" + k;
  std::string r = "P: " + port + "\nE: SUBSYSTEM=parport\n\n";
  r += "P: " + lpPath() + "\nN: lp" + k + "\nE: DEVNAME=/dev/lp" + k +
       "\nE: MAJOR=6\nE: MINOR=" + k + "\nE: SUBSYSTEM=printer\n\n";
  if (identity_.ppdev) {
    r += "P: " + port + "/ppdev/parport" + k + "\nN: parport" + k + "\nE: DEVNAME=/dev/parport" +
         k + "\nE: MAJOR=99\nE: MINOR=" + k + "\nE: SUBSYSTEM=ppdev\n";
  }
  return r;
}

void LptPortDevice::vanish() {
  {
    std::lock_guard lock(mutex());
    if (!present_) return;
    present_ = false;
  }
  const std::string k = std::to_string(identity_.number - 1);
  const std::string port = "/sys" + hardwarePath() + "/parport" + k;
  if (identity_.ppdev) testbed_.removeDevice(port + "/ppdev/parport" + k);
  testbed_.removeDevice("/sys" + lpPath());
  testbed_.removeDevice(port);
  // The testbed keeps a node that a handler is attached to; a gone port has none.
  std::error_code ec;
  std::filesystem::remove(testbed_.devPath(lpNode()), ec);
  if (identity_.ppdev) std::filesystem::remove(testbed_.devPath(parportNode()), ec);
}

bool LptPortDevice::present() const {
  std::lock_guard lock(mutex());
  return present_;
}

void LptPortDevice::setOnline(bool on) {
  std::lock_guard lock(mutex());
  online_ = on;
}

void LptPortDevice::setBusy(bool on) {
  std::lock_guard lock(mutex());
  busy_ = on;
}

void LptPortDevice::setPaperOut(bool on) {
  std::lock_guard lock(mutex());
  paperOut_ = on;
}

void LptPortDevice::setBusyForReads(int reads) {
  std::lock_guard lock(mutex());
  busyReads_ = reads;
}

void LptPortDevice::setWriteFault(bool on) {
  std::lock_guard lock(mutex());
  writeFault_ = on;
}

void LptPortDevice::setClaimRefused(bool on) {
  std::lock_guard lock(mutex());
  claimRefused_ = on;
}

void LptPortDevice::failAfter(std::size_t bytes, bool vanish) {
  std::lock_guard lock(mutex());
  failAfter_ = bytes;
  failByVanishing_ = vanish;
}

bool LptPortDevice::vanishDue() const {
  std::lock_guard lock(mutex());
  return present_ && failByVanishing_ && failAfter_ == 0u;
}

std::uint8_t LptPortDevice::status() const {
  std::lock_guard lock(mutex());
  return composeStatusLocked();
}

std::uint8_t LptPortDevice::composeStatusLocked() const {
  std::uint8_t s = 0x40 | 0x08;  // nAck and nFault high: nothing to report
  if (!busy_ && busyReads_ == 0) s |= 0x80;
  if (online_) s |= 0x10;
  // A printer out of paper also signals a fault.
  if (paperOut_) s = static_cast<std::uint8_t>((s | 0x20) & ~0x08);
  return s;
}

std::uint8_t LptPortDevice::readStatusLocked() {
  const std::uint8_t s = composeStatusLocked();
  if (busyReads_ > 0) --busyReads_;
  return s;
}

std::vector<std::uint8_t> LptPortDevice::takeReceived() {
  std::lock_guard lock(mutex());
  std::uint64_t count = 0;
  [[maybe_unused]] ssize_t n = ::read(receivedEvent_, &count, sizeof count);
  return std::exchange(received_, {});
}

int LptPortDevice::resets() const {
  std::lock_guard lock(mutex());
  return resets_;
}

std::vector<std::string> LptPortDevice::registerWrites() const {
  std::lock_guard lock(mutex());
  return registerWrites_;
}

bool LptPortDevice::claimed() const {
  std::lock_guard lock(mutex());
  return !claimants_.empty();
}

void LptPortDevice::receiveLocked(const std::uint8_t* bytes, std::size_t count) {
  received_.insert(received_.end(), bytes, bytes + count);
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(receivedEvent_, &one, sizeof one);
}

int LptPortDevice::onWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
  return static_cast<LptPortDevice*>(self)->handleWrite(client) ? TRUE : FALSE;
}

bool LptPortDevice::handleWrite(UMockdevIoctlClient* client) {
  std::lock_guard lock(mutex());
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  const bool limitReached = failAfter_ && *failAfter_ == 0;
  if (!present_ || (limitReached && failByVanishing_)) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
  } else if (writeFault_ || paperOut_ || !online_ || limitReached) {
    // What lp does with LPABORT set when the printer reports an error.
    umockdev_ioctl_client_complete(client, -1, EIO);
  } else if (busy_) {
    // What lp does on a port opened non-blocking while the printer is busy.
    umockdev_ioctl_client_complete(client, -1, EAGAIN);
  } else {
    const auto count = static_cast<std::size_t>(arg->data_len);
    receiveLocked(arg->data, count);
    if (failAfter_) *failAfter_ -= std::min(*failAfter_, count);
    umockdev_ioctl_client_complete(client, static_cast<long>(count), 0);
  }
  return true;
}

bool LptPortDevice::handleIoctl(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  if (!present_) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return true;
  }
  const std::string node = umockdev_ioctl_client_get_devnode(client);
  return node == lpNode() ? handleLp(client, request) : handlePpdev(client, request);
}

bool LptPortDevice::handleLp(UMockdevIoctlClient* client, unsigned long request) {
  switch (request) {
    case LPRESET:
      ++resets_;
      break;
    case LPABORT:
    case LPCAREFUL:
    case LPCHAR:
    case LPTIME:
    case LPWAIT:
      break;
    case LPGETSTATUS: {
      // The request carries no size: the kernel writes an int.
      auto* out = argBytes(client, sizeof(int));
      if (out == nullptr) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return true;
      }
      const int value = readStatusLocked();
      std::memcpy(out, &value, sizeof value);
      break;
    }
    default:
      umockdev_ioctl_client_complete(client, -1, ENOTTY);
      return true;
  }
  umockdev_ioctl_client_complete(client, 0, 0);
  return true;
}

bool LptPortDevice::handlePpdev(UMockdevIoctlClient* client, unsigned long request) {
  auto fail = [client](int error) {
    umockdev_ioctl_client_complete(client, -1, error);
    return true;
  };
  if (request == PPCLAIM) {
    if (claimRefused_) return fail(EBUSY);
    claimants_.insert(client);
    umockdev_ioctl_client_complete(client, 0, 0);
    return true;
  }
  // ppdev refuses everything else on a port this open file has not claimed.
  if (claimants_.count(client) == 0) return fail(EINVAL);
  if (request == PPRELEASE) {
    claimants_.erase(client);
    umockdev_ioctl_client_complete(client, 0, 0);
    return true;
  }
  auto* byte = argBytes(client, 1);
  if (byte == nullptr) return fail(EFAULT);
  switch (request) {
    case PPWDATA:
      data_ = *byte;
      registerWrites_.push_back(hexByte('D', data_));
      break;
    case PPRDATA:
      *byte = data_;
      break;
    case PPRSTATUS:
      *byte = readStatusLocked();
      break;
    case PPWCONTROL: {
      const bool strobe = (*byte & 0x01) != 0 && (control_ & 0x01) == 0;
      control_ = *byte;
      registerWrites_.push_back(hexByte('C', control_));
      // The printer latches the data lines when the strobe goes active.
      if (strobe && online_ && !paperOut_) receiveLocked(&data_, 1);
      break;
    }
    case PPRCONTROL:
      *byte = control_;
      break;
    default:
      return fail(ENOTTY);
  }
  umockdev_ioctl_client_complete(client, 0, 0);
  return true;
}

void LptPortDevice::clientGone(UMockdevIoctlClient* client) {
  claimants_.erase(client);
}

}  // namespace plenar::sim
