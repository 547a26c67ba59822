// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "channels/DirectReceiver.h"
#include "channels/UsbChannel.h"

namespace plenar {

class OwnerDispatcher;

// The USB channel: lists USB devices as VID_xxxx&PID_yyyy&<serial number or bus port> (see
// UsbDeviceInfo::entry), opens the first one whose codes are the chosen VID and PID (with a third
// part: exactly the device it names; see usbDeviceFit), claims its first interface with bulk
// endpoints and exchanges bytes on them. One bulk IN of up to 2048 bytes is
// always pending; each chunk that arrives is delivered on the owner thread. Writes are queued for
// a writer thread that sends them on bulk OUT. A run-time failure (the cable pulled, a time-out)
// ends reading or writing quietly; SendBytes then returns false until the device is reopened.
// Threads: OpenDevice, CloseDevice, SendBytes may be called from the worker and the owner thread;
// events run on the owner thread (an event may close the device); bind events before opening.
class TUSBComm : public UsbChannel {
 public:
  using ReceiveDataEvent =
      std::function<void(TUSBComm& sender, const std::uint8_t* buffer, std::uint16_t length)>;
  using ReceiveErrorEvent = std::function<void(TUSBComm& sender, std::uint32_t eventMask)>;
  using NotifyEvent = std::function<void(TUSBComm& sender)>;

  static constexpr std::size_t kReadChunk = 2048;
  static constexpr std::uint32_t kMaxWrite = 65535;

  // Throws ECommsError("Failed to open handle to HID device set") when libusb cannot start.
  explicit TUSBComm(OwnerDispatcher& owner);
  // Closes the device; events still queued for the owner are dropped.
  ~TUSBComm() override;
  TUSBComm(const TUSBComm&) = delete;
  TUSBComm& operator=(const TUSBComm&) = delete;

  // The entries of all present USB devices (VID_xxxx&PID_yyyy&SN_... or &PORT_...), in
  // enumeration order; no two are the same.
  std::vector<std::string> GetDeviceList();
  // VID_1234&PID_811E -> Vid 1234, PID 811E; a third "&" part becomes subId.
  void SelectDevice(const std::string& identifier);
  // Nothing when open. Throws ECommsError "Error open USB DEVICE " (with its trailing blank) when
  // no matching device could be opened and claimed, "Failed to open handle to HID device set",
  // "Unable to create write thread". The exception's reason (and openProblem()) says why: no
  // permission (naming the udev rule), a busy interface, or no matching device.
  void OpenDevice();
  // Stops reading and writing and gives the interface back (and to a kernel driver we detached).
  void CloseDevice();
  // Queues a copy; false when closed, when count is 0 or above 65535, or once the writer ended.
  bool SendBytes(const std::uint8_t* data, std::uint32_t count);
  bool SendDataEmpty() const;
  bool isOpen() const;
  // Why the last OpenDevice failed, beyond the user's text: no permission (with the udev rule to
  // install), a busy interface, or no matching device; empty after a successful open.
  std::string openProblem() const;

  // The selected device's codes and third part, as SelectDevice split them; OpenDevice looks for
  // them (usbDeviceMatches).
  const std::string& Vid() const;
  const std::string& PID() const;
  const std::string& subId() const;

  // ---- UsbChannel ----
  std::vector<std::string> devices() override { return GetDeviceList(); }
  void select(const std::string& entry) override { SelectDevice(entry); }
  void open() override { OpenDevice(); }
  void close() override { CloseDevice(); }
  bool send(std::span<const std::uint8_t> bytes) override {
    return SendBytes(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  }
  void setSendDataEmpty(bool empty) override;

  // Received bytes go to `direct` on the thread that read them before any is queued for
  // OnReceiveData; what it does not take is queued as before. Set before the first open.
  void setDirectReceiver(DirectReceiver direct);

  // Events (unset ones are skipped). The bytes of OnReceiveData are valid only during the call.
  ReceiveDataEvent OnReceiveData;
  ReceiveErrorEvent OnReceiveError;  // never raised: USB reading ends quietly
  NotifyEvent OnSendDataEmpty;
  NotifyEvent OnUSBArrival;  // any USB device arrived
  NotifyEvent OnUSBRemove;   // any USB device left

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plenar
