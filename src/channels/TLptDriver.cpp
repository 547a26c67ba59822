// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/TLptDriver.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "channels/OpenFailureReason.h"
#include "shared/Errors.h"

namespace plenar {
namespace {

std::string registerName(LptRegister reg) {
  switch (reg) {
    case LptRegister::Data:
      return "data";
    case LptRegister::Status:
      return "status";
    case LptRegister::Control:
      return "control";
  }
  return "?";
}

[[noreturn]] void throwRegisterError(const char* verb, LptRegister reg, int error) {
  throw ECommsError(std::string("Parallel port ") + verb + " of the " + registerName(reg) +
                        " register failed: " + std::strerror(error),
                    error);
}

}  // namespace

TLptDriver::~TLptDriver() {
  CloseDriver();
}

int TLptDriver::OpenDriver() {
  if (fd_.valid()) return fd_.get();
  const std::string path = "/dev/parport" + std::to_string(portNumber_ - 1);
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (!fd.valid()) {
    const int error = errno;
    throw ECommsError("Create service failed.", error,
                      openFailureReason(DeviceKind::Parallel, path, error));
  }
  // ppdev refuses every register access until the port is claimed; a claim held by another
  // program (or the lp driver printing) is refused with EBUSY.
  if (::ioctl(fd.get(), PPCLAIM) < 0) {
    const int error = errno;
    throw ECommsError("Start service failed.", error,
                      openFailureReason(DeviceKind::Parallel, path, error));
  }
  fd_ = std::move(fd);
  return fd_.get();
}

void TLptDriver::CloseDriver() {
  if (!fd_.valid()) return;
  // Released once, as claimed once: ppdev refuses a second PPRELEASE. A refusal here leaves
  // nothing to undo, the close below ends the claim anyway.
  [[maybe_unused]] int rc = ::ioctl(fd_.get(), PPRELEASE);
  fd_.reset();
}

std::uint8_t TLptDriver::readRegister(LptRegister reg) const {
  unsigned long request = PPRDATA;
  if (reg == LptRegister::Status) request = PPRSTATUS;
  if (reg == LptRegister::Control) request = PPRCONTROL;
  unsigned char value = 0;
  if (::ioctl(fd_.get(), request, &value) < 0) throwRegisterError("read", reg, errno);
  return value;
}

void TLptDriver::writeRegister(LptRegister reg, std::uint8_t value) const {
  if (reg == LptRegister::Status) return;
  unsigned char byte = value;
  const unsigned long request = reg == LptRegister::Data ? PPWDATA : PPWCONTROL;
  if (::ioctl(fd_.get(), request, &byte) < 0) throwRegisterError("write", reg, errno);
}

}  // namespace plenar
