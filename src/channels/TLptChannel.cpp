// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/TLptChannel.h"

#include <fcntl.h>
#include <linux/lp.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "channels/LptStatus.h"
#include "channels/OpenFailureReason.h"
#include "shared/Errors.h"

namespace plenar {
namespace {

constexpr int kBusyWaitMs = 100;
constexpr auto kStatusPoll = std::chrono::milliseconds(5);
constexpr std::uint8_t kStrobe = 0x01;  // control bit 0 drives pin 1

// Connector pin -> register and bit, as wired on a standard 25-pin port.
struct PinBit {
  LptRegister reg;
  int bit;
};
bool pinBit(int pin, PinBit& out) {
  switch (pin) {
    case 1:
      out = {LptRegister::Control, 0};
      return true;
    case 14:
      out = {LptRegister::Control, 1};
      return true;
    case 16:
      out = {LptRegister::Control, 2};
      return true;
    case 17:
      out = {LptRegister::Control, 3};
      return true;
    case 10:
      out = {LptRegister::Status, 6};
      return true;
    case 11:
      out = {LptRegister::Status, 7};
      return true;
    case 12:
      out = {LptRegister::Status, 5};
      return true;
    case 13:
      out = {LptRegister::Status, 4};
      return true;
    case 15:
      out = {LptRegister::Status, 3};
      return true;
    default:
      if (pin >= 2 && pin <= 9) {
        out = {LptRegister::Data, pin - 2};
        return true;
      }
      return false;
  }
}

}  // namespace

TLptChannel::TLptChannel(OwnerDispatcher* owner) : ports_(owner) {}

TLptChannel::~TLptChannel() {
  std::lock_guard lock(mutex_);
  closeLocked();
}

// ---------------------------------------------------------------- properties

TLptPorts TLptChannel::LptPort() const {
  std::lock_guard lock(mutex_);
  if (portNo_ < 1 || portNo_ > 4) return TLptPorts::lpLPTxx;
  return static_cast<TLptPorts>(portNo_ - 1);
}

void TLptChannel::setLptPort(TLptPorts port) {
  if (port == TLptPorts::lpLPTxx) return;
  setLptPortNo(static_cast<std::uint8_t>(static_cast<int>(port) + 1));
}

std::uint8_t TLptChannel::LptPortNo() const {
  std::lock_guard lock(mutex_);
  return portNo_;
}

void TLptChannel::setLptPortNo(std::uint8_t number) {
  const std::optional<std::uint16_t> listedBase = ports_.listedIoBase(number);
  {
    std::lock_guard lock(mutex_);
    const bool wasOpen = open_;
    closeLocked();
    portNo_ = number;
    if (listedBase) ioBase_ = *listedBase;
    if (wasOpen) openLocked();
  }
  ports_.changed();
}

std::uint16_t TLptChannel::LptIOBase() const {
  std::lock_guard lock(mutex_);
  return ioBase_;
}

void TLptChannel::setLptIOBase(std::uint16_t base) {
  std::lock_guard lock(mutex_);
  ioBase_ = base;
}

bool TLptChannel::DirectMode() const {
  std::lock_guard lock(mutex_);
  return directMode_;
}

void TLptChannel::setDirectMode(bool direct) {
  std::lock_guard lock(mutex_);
  if (direct == directMode_) return;
  const bool wasOpen = open_;
  closeLocked();
  directMode_ = direct;
  if (wasOpen) openLocked();
}

bool TLptChannel::ControlBusy() const {
  std::lock_guard lock(mutex_);
  return controlBusy_;
}

void TLptChannel::setControlBusy(bool on) {
  std::lock_guard lock(mutex_);
  controlBusy_ = on;
}

bool TLptChannel::Active() const {
  std::lock_guard lock(mutex_);
  return open_;
}

void TLptChannel::setActive(bool active) {
  std::lock_guard lock(mutex_);
  if (active == open_) return;
  if (active) {
    openLocked();
  } else {
    closeLocked();
  }
}

std::uint32_t TLptChannel::Handle() const {
  std::lock_guard lock(mutex_);
  if (!open_) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(directMode_ ? driver_.handle() : lp_.get());
}

void TLptChannel::setOnFatalError(FatalErrorEvent handler) {
  std::lock_guard lock(mutex_);
  onFatalError_ = std::move(handler);
}

void TLptChannel::setPortNumber(int number) {
  // The link layer passes the connection window's number (0 while its list was empty: opening
  // LPT0 then fails with the port's open message); LPTn numbers fit in one byte.
  if (number < 0 || number > 255) {
    throw ECommsError("LPT" + std::to_string(number) + " is not a parallel port number (1-255)");
  }
  setLptPortNo(static_cast<std::uint8_t>(number));
}

void TLptChannel::setIoBase(int base) {
  setLptIOBase(static_cast<std::uint16_t>(base));
}

// ---------------------------------------------------------------- open and close

void TLptChannel::openLocked() {
  if (directMode_) {
    driver_.setPortNumber(portNo_);
    driver_.OpenDriver();  // throws "Create service failed." / "Start service failed."
    open_ = true;
    if (ioBase_ == 0) {
      fatalError(kOpenErrorCode, 0,
                 portName() + " open in Direct Mode is failed. Base I/O port is NULL");
    }
    return;
  }
  const std::string path = "/dev/lp" + std::to_string(portNo_ - 1);
  // The lp driver lets one program open a port at a time (EBUSY for the next). Non-blocking: a
  // blocking write waits for as long as the printer stays busy, and nothing would end the wait.
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) {
    const int error = errno;
    fatalError(kOpenErrorCode, error, portName() + " open is failed.\r" + std::strerror(error),
               openFailureReason(DeviceKind::Parallel, path, error));
    return;
  }
  // Initialise the printer (the driver pulses nInit), as after every open.
  if (::ioctl(fd.get(), LPRESET) < 0) {
    const int error = errno;
    fatalError(kOpenErrorCode, error,
               portName() + " printer initialise failed: " + std::strerror(error));
    return;
  }
  // Without LPABORT the driver retries forever while the printer is out of paper, offline or
  // faulted, and the worker would hang in write(); with it the write fails with EIO.
  if (::ioctl(fd.get(), LPABORT, 1) < 0) {
    const int error = errno;
    fatalError(kOpenErrorCode, error, portName() + " open is failed.\r" + std::strerror(error));
    return;
  }
  lp_ = std::move(fd);
  open_ = true;
}

void TLptChannel::closeLocked() {
  if (!open_) return;
  open_ = false;  // closed from here on, whatever the release does
  if (directMode_) {
    driver_.CloseDriver();
  } else {
    lp_.reset();
  }
}

void TLptChannel::fatalError(int code, int detail, const std::string& message,
                             const std::string& reason) {
  bool raise = true;
  if (onFatalError_) onFatalError_(*this, code, detail, message, raise);
  if (raise) throw ECommsError(message, detail, reason);
}

// ---------------------------------------------------------------- writing

void TLptChannel::WriteBuffer(const std::uint8_t* bytes, std::size_t count) {
  if (count == 0) return;
  std::unique_lock lock(mutex_);
  if (!open_) return;
  if (!controlBusy_) {
    if (directMode_) {
      for (std::size_t i = 0; i < count; ++i) writeByteLocked(bytes[i]);
    } else {
      // One write for the whole buffer: the lp driver hands the printer one byte at a time
      // with its own handshake, so this is what a write per byte did, without a system call
      // each.
      writeCommonLocked(bytes, count);
    }
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    lock.unlock();
    const bool ready = WaitStatus(0x80, 0x80, kBusyWaitMs);
    lock.lock();
    if (!open_) return;
    if (!ready) {
      // Dropping the byte would print a corrupted receipt and still report success.
      throw ECommunicationException(portName() + " busy: the printer did not take byte " +
                                    std::to_string(i + 1) + " of " + std::to_string(count) +
                                    " within " + std::to_string(kBusyWaitMs) + " ms");
    }
    writeByteLocked(bytes[i]);
  }
}

void TLptChannel::WriteByte(std::uint8_t byte) {
  std::lock_guard lock(mutex_);
  if (!open_) return;
  writeByteLocked(byte);
}

void TLptChannel::WriteText(const std::string& text) {
  WriteBuffer(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

void TLptChannel::writeByteLocked(std::uint8_t byte) {
  if (!directMode_) {
    writeCommonLocked(&byte, 1);
    return;
  }
  // Data first, then a strobe pulse; the printer latches the byte on the strobe. There is no
  // wait for its acknowledge.
  driver_.writeRegister(LptRegister::Data, byte);
  const std::uint8_t control = driver_.readRegister(LptRegister::Control);
  driver_.writeRegister(LptRegister::Control, control | kStrobe);
  driver_.writeRegister(LptRegister::Control, control & ~kStrobe);
}

void TLptChannel::writeCommonLocked(const std::uint8_t* bytes, std::size_t count) {
  std::size_t done = 0;
  auto lastProgress = std::chrono::steady_clock::now();
  while (done < count) {
    const ssize_t n = ::write(lp_.get(), bytes + done, count - done);
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
    std::this_thread::sleep_for(kStatusPoll);
  }
}

void TLptChannel::throwWriteError(const std::string& reason) {
  std::string text = portName() + " write failed: " + reason;
  // The status tells the technician what to fix (paper, cable, power); a port that is gone
  // has none to give.
  int status = 0;
  if (!directMode_ && ::ioctl(lp_.get(), LPGETSTATUS, &status) == 0) {
    text +=
        " (printer " + describeLptStatus(decodeLptStatus(static_cast<std::uint8_t>(status))) + ")";
  }
  throw ECommunicationException(text);
}

// ---------------------------------------------------------------- status and pins

std::uint8_t TLptChannel::readStatusLocked() {
  if (directMode_) return driver_.readRegister(LptRegister::Status);
  int status = 0;
  if (::ioctl(lp_.get(), LPGETSTATUS, &status) < 0) {
    const int error = errno;
    throw ECommunicationException(portName() + " status read failed: " + std::strerror(error));
  }
  return static_cast<std::uint8_t>(status);
}

std::uint8_t TLptChannel::ReadStatus() {
  std::lock_guard lock(mutex_);
  if (!open_) throw ECommunicationException(portName() + " is not open");
  return readStatusLocked();
}

bool TLptChannel::WaitStatus(std::uint8_t mask, std::uint8_t value, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (!open_) return false;
      if ((readStatusLocked() & mask) == value) return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kStatusPoll);
  }
}

void TLptChannel::SetPin(int pin, bool on) {
  PinBit pb{};
  if (!pinBit(pin, pb)) return;
  std::lock_guard lock(mutex_);
  if (!open_ || !directMode_) return;
  std::uint8_t reg = driver_.readRegister(pb.reg);
  const auto bit = static_cast<std::uint8_t>(1u << pb.bit);
  reg = on ? (reg | bit) : (reg & ~bit);
  driver_.writeRegister(pb.reg, reg);  // the status register is input only: nothing happens
}

}  // namespace plenar
