// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "channels/SerialChannel.h"
#include "channels/SerialSettings.h"

namespace plenar {

class OwnerDispatcher;

// The serial channel: one open port, a reader thread and a writer thread. Writing never blocks
// the caller: SendBytes queues a copy for the writer. Received bytes, line errors, modem events,
// hang-ups and "send queue empty" are delivered as events on the owner thread through the
// OwnerDispatcher.
// Threads: OpenPort, ClosePort, SendBytes and the setters are called from one thread at a time
// (the worker); events run on the owner thread; bind the events before OpenPort.
class TComm : public SerialChannel {
 public:
  using ReceiveDataEvent =
      std::function<void(TComm& sender, const std::uint8_t* buffer, std::uint16_t bufferLength)>;
  using ReceiveErrorEvent = std::function<void(TComm& sender, std::uint32_t eventMask)>;
  using ModemStateChangeEvent = std::function<void(TComm& sender, std::uint32_t modemEvent)>;
  using NotifyEvent = std::function<void(TComm& sender)>;

  explicit TComm(OwnerDispatcher& owner);
  // Closes the port if it is still open; events still queued for the owner are dropped.
  ~TComm() override;
  TComm(const TComm&) = delete;
  TComm& operator=(const TComm&) = delete;

  // Opens CommName (a device path; COMn means /dev/ttyS(n-1)) and starts both threads.
  // Throws ECommsError with the exact texts: "This serial port already opened",
  // "Error opening serial port", "File handle is not a comm handle ", "Cannot setup comm buffer",
  // "Unable to create event", "Unable to create read thread", "Unable to create write thread".
  void OpenPort();
  // Stops both threads within bounded time and closes the port; nothing when closed. Events of
  // this open that are still queued for the owner are dropped (never seen after a reopen).
  void ClosePort();
  // Queues a copy; false when closed or count is 0.
  bool SendBytes(const std::uint8_t* data, std::uint16_t count);
  bool isOpen() const override;
  // Waits until every queued byte has left the driver (ClosePort discards what is still
  // pending). Gives up, returning false, when nothing moved for `stall` (a line held by flow
  // control or a far end that does not read), or at once when `giveUp` says so (the program is
  // closing: a long send at a low rate would otherwise hold it for as long as the line needs).
  bool WaitSendComplete(std::chrono::milliseconds stall = std::chrono::milliseconds(1000),
                        const std::function<bool()>& giveUp = {});
  // False from a successful SendBytes until the writer has found its queue empty.
  bool SendDataEmpty() const;

  // Properties. A setter with a new value re-applies the port state (or the time-outs) at once
  // while open; Parity reaches the port only at the next apply.
  const std::string& CommName() const;
  void setCommName(const std::string& name);
  std::uint32_t BaudRate() const;
  void setBaudRate(std::uint32_t rate);
  bool ParityCheck() const;
  void setParityCheck(bool on);
  bool Outx_CtsFlow() const;
  void setOutx_CtsFlow(bool on);
  bool Outx_DsrFlow() const;
  void setOutx_DsrFlow(bool on);
  TDtrControl DtrControl() const;
  void setDtrControl(TDtrControl v);
  bool DsrSensitivity() const;
  void setDsrSensitivity(bool on);
  bool TxContinueOnXoff() const;
  void setTxContinueOnXoff(bool on);
  bool Outx_XonXoffFlow() const;
  void setOutx_XonXoffFlow(bool on);
  bool Inx_XonXoffFlow() const;
  void setInx_XonXoffFlow(bool on);
  bool ReplaceWhenParityError() const;
  void setReplaceWhenParityError(bool on);
  bool IgnoreNullChar() const;
  void setIgnoreNullChar(bool on);
  TRtsControl RtsControl() const;
  void setRtsControl(TRtsControl v);
  std::uint16_t XonLimit() const;
  void setXonLimit(std::uint16_t v);
  std::uint16_t XoffLimit() const;
  void setXoffLimit(std::uint16_t v);
  TByteSize ByteSize() const;
  void setByteSize(TByteSize v);
  TParity Parity() const;
  void setParity(TParity v);
  TStopBits StopBits() const;
  void setStopBits(TStopBits v);
  char XonChar() const;
  void setXonChar(char c);
  char XoffChar() const;
  void setXoffChar(char c);
  char ReplacedChar() const;
  void setReplacedChar(char c);
  // An interval of kReadReturnAtOnce (MAXDWORD, with both read totals 0) hands on whatever has
  // arrived as soon as it arrives.
  static constexpr std::uint32_t kReadReturnAtOnce = 0xFFFFFFFF;
  std::uint32_t ReadIntervalTimeout() const;
  void setReadIntervalTimeout(std::uint32_t ms);
  std::uint32_t ReadTotalTimeoutMultiplier() const;
  void setReadTotalTimeoutMultiplier(std::uint32_t ms);
  std::uint32_t ReadTotalTimeoutConstant() const;
  void setReadTotalTimeoutConstant(std::uint32_t ms);
  std::uint32_t WriteTotalTimeoutMultiplier() const;
  void setWriteTotalTimeoutMultiplier(std::uint32_t ms);
  std::uint32_t WriteTotalTimeoutConstant() const;
  void setWriteTotalTimeoutConstant(std::uint32_t ms);

  // ---- SerialChannel ----
  void setPortName(const std::string& name) override { setCommName(name); }
  void setRate(std::uint32_t rate) override { setBaudRate(rate); }
  std::uint32_t rate() const override { return BaudRate(); }
  void open() override { OpenPort(); }
  void close() override { ClosePort(); }
  bool send(std::span<const std::uint8_t> bytes) override {
    return bytes.size() <= 0xFFFF &&
           SendBytes(bytes.data(), static_cast<std::uint16_t>(bytes.size()));
  }
  bool waitSendComplete(std::chrono::milliseconds stall,
                        const std::function<bool()>& giveUp) override {
    return WaitSendComplete(stall, giveUp);
  }

  // Events (unset ones are skipped). The bytes of OnReceiveData are valid only during the call.
  ReceiveDataEvent OnReceiveData;
  ReceiveErrorEvent OnReceiveError;
  ModemStateChangeEvent OnModemStateChange;
  NotifyEvent OnRequestHangup;
  NotifyEvent OnSendDataEmpty;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plenar
