// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/TLptChannel.h"

#include <chrono>
#include <thread>

#include "channels/LptDeviceAccess.h"
#include "channels/LptRegisterAccess.h"
#include "shared/Errors.h"

namespace plenar {
namespace {

constexpr int kBusyWaitMs = 100;
constexpr auto kStatusPoll = std::chrono::milliseconds(5);

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
    const bool wasOpen = access_ != nullptr;
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
  const bool wasOpen = access_ != nullptr;
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
  return access_ != nullptr;
}

void TLptChannel::setActive(bool active) {
  std::lock_guard lock(mutex_);
  if (active == (access_ != nullptr)) return;
  if (active) {
    openLocked();
  } else {
    closeLocked();
  }
}

std::uint32_t TLptChannel::Handle() const {
  std::lock_guard lock(mutex_);
  if (!access_) return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(access_->handle());
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
    access_ = std::make_unique<LptRegisterAccess>(portNo_);  // throws the service failures
    if (ioBase_ == 0) {
      fatalError(kOpenErrorCode, 0,
                 portName() + " open in Direct Mode is failed. Base I/O port is NULL");
    }
    return;
  }
  LptDeviceAccess::Failure failure;
  access_ = LptDeviceAccess::open(portNo_, writeStall_, failure);
  if (!access_) fatalError(kOpenErrorCode, failure.error, failure.message, failure.reason);
}

void TLptChannel::closeLocked() {
  access_.reset();
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
  if (!access_) return;
  if (!controlBusy_) {
    access_->write(bytes, count);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) {
    lock.unlock();
    const bool ready = WaitStatus(0x80, 0x80, kBusyWaitMs);
    lock.lock();
    if (!access_) return;
    if (!ready) {
      // Dropping the byte would print a corrupted receipt and still report success.
      throw ECommunicationException(portName() + " busy: the printer did not take byte " +
                                    std::to_string(i + 1) + " of " + std::to_string(count) +
                                    " within " + std::to_string(kBusyWaitMs) + " ms");
    }
    access_->write(bytes + i, 1);
  }
}

void TLptChannel::WriteByte(std::uint8_t byte) {
  std::lock_guard lock(mutex_);
  if (access_) access_->write(&byte, 1);
}

void TLptChannel::WriteText(const std::string& text) {
  WriteBuffer(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// ---------------------------------------------------------------- status and pins

std::uint8_t TLptChannel::ReadStatus() {
  std::lock_guard lock(mutex_);
  if (!access_) throw ECommunicationException(portName() + " is not open");
  return access_->readStatus();
}

bool TLptChannel::WaitStatus(std::uint8_t mask, std::uint8_t value, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (!access_) return false;
      if ((access_->readStatus() & mask) == value) return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kStatusPoll);
  }
}

void TLptChannel::SetPin(int pin, bool on) {
  PinBit pb{};
  if (!pinBit(pin, pb)) return;
  std::lock_guard lock(mutex_);
  if (access_) access_->setBit(pb.reg, pb.bit, on);  // common mode reaches no register
}

}  // namespace plenar
