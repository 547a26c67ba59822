// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "channels/LptAccess.h"
#include "channels/LptPortList.h"
#include "channels/ParallelChannel.h"

namespace plenar {

class OwnerDispatcher;

// lpLPT1..lpLPT4 are port numbers 1..4; lpLPTxx any other number.
enum class TLptPorts { lpLPT1, lpLPT2, lpLPT3, lpLPT4, lpLPTxx };

// The parallel channel: a write-only printer port, reached by the access method of its mode,
// chosen at open: common mode writes through the lp driver (/dev/lp(n-1), LptDeviceAccess);
// direct mode drives the port's data, status and control registers through ppdev
// (LptRegisterAccess), strobing each byte itself.
// Threads: opening, closing and writing run on one thread at a time (the worker); the port list
// belongs to the owner (UI) thread. Property reads and writes may come from either: the port
// state sits under one lock, never held while waiting.
class TLptChannel : public ParallelChannel {
 public:
  // (sender, code, detail = errno, message, raise): clearing `raise` keeps the error from
  // being thrown. Runs on the thread that hit the error.
  using FatalErrorEvent = std::function<void(TLptChannel& sender, int errorCode, int detail,
                                             const std::string& errorMsg, bool& raiseException)>;

  // Opening failures carry this code.
  static constexpr int kOpenErrorCode = 10;

  // The port list's notices go through `owner` when one is given and the change happens on
  // another thread; without one they run on the thread that made the change.
  explicit TLptChannel(OwnerDispatcher* owner = nullptr);
  // Closes an open port; the port list's subscribers are told it is gone (owner thread).
  ~TLptChannel() override;
  TLptChannel(const TLptChannel&) = delete;
  TLptChannel& operator=(const TLptChannel&) = delete;

  // ---- properties ----
  TLptPorts LptPort() const;
  void setLptPort(TLptPorts port);  // lpLPTxx is ignored
  std::uint8_t LptPortNo() const;
  // Closes an open port, takes the listed port's I/O base, reopens, then tells the port list's
  // subscribers.
  void setLptPortNo(std::uint8_t number);
  std::uint16_t LptIOBase() const;
  void setLptIOBase(std::uint16_t base);
  bool DirectMode() const;
  void setDirectMode(bool direct) override;  // reopens an open port in the new mode
  bool ControlBusy() const;
  void setControlBusy(bool on);
  bool Active() const;
  // Opens or closes the port; setting the current value does nothing. Opening failures are
  // fatal errors with code 10: "LPTn open is failed.\r<system text>" when the device cannot be
  // opened, "LPTn open in Direct Mode is failed. Base I/O port is NULL" (the port stays open);
  // direct mode adds TLptDriver's "Create service failed." and "Start service failed.".
  void setActive(bool active);
  // The open descriptor; all ones while closed.
  std::uint32_t Handle() const;
  void setOnFatalError(FatalErrorEvent handler);

  // ---- operations (nothing while closed) ----
  // Sends the bytes in order. With ControlBusy each byte waits up to 100 ms for the printer to
  // report not-busy first. Throws ECommunicationException "LPTn write failed: ..." when the
  // system refuses a write (port gone, printer out of paper or faulted: the lp driver is told
  // to report these instead of waiting) or the printer stays busy for the write time-out, and
  // "LPTn busy: ..." when a byte is not taken within its ControlBusy wait.
  void WriteBuffer(const std::uint8_t* bytes, std::size_t count);
  void WriteByte(std::uint8_t byte);
  void WriteText(const std::string& text);
  // Direct mode only: sets or clears the register bit of connector pin 1..17 (no inversion).
  void SetPin(int pin, bool on);
  // Waits until (status AND mask) = value, reading the status every 5 ms; false when closed or
  // when `timeoutMs` passed. Common mode reads the status through the lp driver (LPGETSTATUS).
  bool WaitStatus(std::uint8_t mask, std::uint8_t value, int timeoutMs);
  // The status register now; throws when closed or when the system refuses the read.
  std::uint8_t ReadStatus();

  // ---- the ports present (LptPortList): listed, watched, their subscribers told of changes to
  // the list and to LptPortNo ----
  LptPortList& ports() { return ports_; }

  // ---- ParallelChannel ----
  void setPortNumber(int number) override;
  void setIoBase(int base) override;
  void open() override { setActive(true); }
  void close() override { setActive(false); }
  bool isOpen() const override { return Active(); }
  void send(std::span<const std::uint8_t> bytes) override {
    WriteBuffer(bytes.data(), bytes.size());
  }

  // How long a common-mode write may find the printer busy, taking nothing, before it fails.
  void setWriteTimeout(std::chrono::milliseconds stall) {
    std::lock_guard lock(mutex_);
    writeStall_ = stall;
  }

 private:
  // Opens the port with the access method of the mode.
  void openLocked();
  void closeLocked();
  // `reason`: why the system refused, for the message box detail and debug.log.
  void fatalError(int code, int detail, const std::string& message, const std::string& reason = {});
  std::string portName() const { return "LPT" + std::to_string(portNo_); }

  LptPortList ports_;

  mutable std::mutex mutex_;  // the port state below
  std::uint8_t portNo_ = 1;
  std::uint16_t ioBase_ = 0;
  bool directMode_ = true;
  bool controlBusy_ = false;
  std::chrono::milliseconds writeStall_{10000};  // read by the common mode's access
  std::unique_ptr<LptAccess> access_;            // set while open
  FatalErrorEvent onFatalError_;
};

}  // namespace plenar
