// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/LptDeviceAccess.h"

#include <fcntl.h>
#include <linux/lp.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "channels/LptStatus.h"
#include "channels/OpenFailureReason.h"
#include "shared/Errors.h"

namespace plenar {
namespace {

constexpr auto kBusyPoll = std::chrono::milliseconds(5);

}  // namespace

std::unique_ptr<LptDeviceAccess> LptDeviceAccess::open(int portNo,
                                                       const std::chrono::milliseconds& writeStall,
                                                       Failure& failure) {
  const std::string name = "LPT" + std::to_string(portNo);
  const std::string path = "/dev/lp" + std::to_string(portNo - 1);
  // Takes errno first: the texts are made after it.
  auto refused = [&failure](const std::string& message, bool withReason = false,
                            const std::string& path = {}) {
    const int error = errno;
    failure = {error, message + std::strerror(error),
               withReason ? openFailureReason(DeviceKind::Parallel, path, error) : ""};
    return nullptr;
  };
  // The lp driver lets one program open a port at a time (EBUSY for the next). Non-blocking: a
  // blocking write waits for as long as the printer stays busy, and nothing would end the wait.
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) return refused(name + " open is failed.\r", true, path);
  // Initialise the printer (the driver pulses nInit), as after every open.
  if (::ioctl(fd.get(), LPRESET) < 0) return refused(name + " printer initialise failed: ");
  // Without LPABORT the driver retries forever while the printer is out of paper, offline or
  // faulted, and the worker would hang in write(); with it the write fails with EIO.
  if (::ioctl(fd.get(), LPABORT, 1) < 0) return refused(name + " open is failed.\r");
  return std::unique_ptr<LptDeviceAccess>(new LptDeviceAccess(std::move(fd), name, writeStall));
}

// One write for the whole buffer: the lp driver hands the printer one byte at a time with its
// own handshake, so this is what a write per byte did, without a system call each.
void LptDeviceAccess::write(const std::uint8_t* bytes, std::size_t count) {
  std::size_t done = 0;
  auto lastProgress = std::chrono::steady_clock::now();
  while (done < count) {
    const ssize_t n = ::write(fd_.get(), bytes + done, count - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      lastProgress = std::chrono::steady_clock::now();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) throwWriteError(std::strerror(errno));
    if (n == 0) throwWriteError(std::strerror(EIO));
    // EAGAIN: the printer is busy and took nothing yet.
    if (std::chrono::steady_clock::now() - lastProgress >= writeStall_) {
      throwWriteError("the printer took no byte for " + std::to_string(writeStall_.count()) +
                      " ms");
    }
    std::this_thread::sleep_for(kBusyPoll);
  }
}

void LptDeviceAccess::throwWriteError(const std::string& reason) {
  std::string text = portName_ + " write failed: " + reason;
  // The status tells the technician what to fix (paper, cable, power); a port that is gone
  // has none to give.
  int status = 0;
  if (::ioctl(fd_.get(), LPGETSTATUS, &status) == 0) {
    text +=
        " (printer " + describeLptStatus(decodeLptStatus(static_cast<std::uint8_t>(status))) + ")";
  }
  throw ECommunicationException(text);
}

std::uint8_t LptDeviceAccess::readStatus() {
  int status = 0;
  if (::ioctl(fd_.get(), LPGETSTATUS, &status) < 0) {
    const int error = errno;
    throw ECommunicationException(portName_ + " status read failed: " + std::strerror(error));
  }
  return static_cast<std::uint8_t>(status);
}

}  // namespace plenar
