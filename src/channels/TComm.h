// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "channels/DirectReceiver.h"
#include "channels/SerialChannel.h"
#include "channels/SerialSettings.h"

namespace plenar {

class OwnerDispatcher;

// The serial channel: one open port, a reader thread and a writer thread. Writing never blocks
// the caller: SendBytes queues a copy for the writer. Received bytes, line errors, hang-ups and
// "send queue empty" are delivered as events on the owner thread through the OwnerDispatcher.
// Threads: OpenPort, ClosePort, SendBytes and the settings are called from one thread at a time
// (the worker); events run on the owner thread; bind the events before OpenPort.
class TComm : public SerialChannel {
 public:
  using ReceiveDataEvent =
      std::function<void(TComm& sender, const std::uint8_t* buffer, std::uint16_t bufferLength)>;
  using ReceiveErrorEvent = std::function<void(TComm& sender, std::uint32_t eventMask)>;
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

  // The line settings. A new rate, flow control or modem line reaches the port at once while it
  // is open, a new read interval at the reader's next wake, a new name at the next open.
  const SerialSettings& settings() const;
  void setSettings(const SerialSettings& settings);
  // The worker changes the read interval around every command.
  void setReadIntervalTimeout(std::uint32_t ms);
  static constexpr std::uint32_t kReadReturnAtOnce = SerialSettings::kReadReturnAtOnce;

  // ---- SerialChannel ----
  void setPortName(const std::string& name) override;
  void setRate(std::uint32_t rate) override;
  std::uint32_t rate() const override { return settings().baudRate; }
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

  // Received bytes go to `direct` on the thread that read them before any is queued for
  // OnReceiveData; what it does not take is queued as before. Set before the first open.
  void setDirectReceiver(DirectReceiver direct);

  // Events (unset ones are skipped). The bytes of OnReceiveData are valid only during the call.
  ReceiveDataEvent OnReceiveData;
  ReceiveErrorEvent OnReceiveError;
  NotifyEvent OnRequestHangup;
  NotifyEvent OnSendDataEmpty;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plenar
