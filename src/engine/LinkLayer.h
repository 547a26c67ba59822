// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "engine/LinkReceiver.h"
#include "engine/LinkState.h"
#include "shared/FailureKind.h"

namespace plenar {

class TCommThread;
class SerialChannel;
class UdpSocket;
class UsbChannel;
class ParallelChannel;
class Transport;
class SerialTransport;
class UsbTransport;

// The framed request protocol over the four links (serial, network, USB, parallel), with retries,
// rate switching and the identify request. The link in use is the running command's snapshot;
// each link is one transport (engine/transport/), chosen by the snapshot's kind from a table.
// Threads: every operation runs on the worker thread. The owner thread's side (received bytes,
// the USB list) is LinkReceiver's and the USB transport's.
class LinkLayer {
 public:
  // `usb` and `parallel` may be null until those channels exist: opening such a link then fails
  // with a message.
  LinkLayer(TCommThread& worker, SerialChannel& serial, UdpSocket& udp, UsbChannel* usb,
            ParallelChannel* parallel);
  ~LinkLayer();
  LinkLayer(const LinkLayer&) = delete;
  LinkLayer& operator=(const LinkLayer&) = delete;

  // ---- link operations ----
  // Opens the snapshot's link; on serial: the port at the device rate, then the transfer rate;
  // then the identify request where the printer answers.
  void openLink();
  void closeLink();
  // Writes over the chosen link; no reply is awaited. Resets the reply state first.
  void sendRaw(std::span<const std::uint8_t> bytes);
  // Open link, send raw, restore device rate; leaves the link open, does not catch failures.
  void openAndSendRaw(std::span<const std::uint8_t> bytes);
  // 0x31 with the rate's code, then the serial channel follows. Throws ESetBaudRateException
  // "Set Baudrate Failed"; a rate without a code (or no number) fails with a clear text and
  // sends nothing.
  void switchBaudRate(std::optional<int> rate);
  void restoreDeviceRate();
  // Boot loader handshake: 0x32, three attempts; throws ESetBaudRateException "Connecting Failed".
  void connectHandshake();
  // The firmware update's wait for the printer to restart: suspend releases the chosen link's
  // channel without clearing LinkOpen; resume takes it again with its current settings.
  void suspendLink();
  void resumeLink();

  // ---- the serial port, whatever link is chosen ----
  // (Re)opens the serial port at the device rate, no request.
  void reopenSerialPort(const std::string& name);
  // Closes the serial port once everything written has left the driver.
  void closeSerialPort();
  // Closes the serial port at once, dropping what is still queued.
  void dropSerialPort();
  // Closes and reopens the serial port with its current settings (LinkOpen set).
  void refreshSerialPort();
  // Closes the serial port and clears LinkOpen.
  void releaseSerialPort();

  // ---- framed protocol ----
  // Sends the frame up to `attempts` times until acknowledged; returns ReplyLength. Throws
  // ECommunicationException "Download Data Failed" unless BootQuiet. More data bytes than a frame
  // holds are refused before anything is sent.
  int framedRequest(std::uint16_t command, std::uint32_t value1, std::uint32_t value2,
                    std::span<const std::uint8_t> data, int attempts);
  // Like framedRequest, but the reply data is copied to the start of `reply` (at most its size;
  // excess dropped) and ReplyLength returned. "Received Failed". At most 2032 request bytes.
  int framedRead(std::uint16_t command, std::uint32_t value1, std::uint32_t value2,
                 std::span<const std::uint8_t> requestData, std::span<std::uint8_t> reply,
                 int attempts);
  // 0x30 with 01 02 04 08 10 20 40 80, one attempt; sets the printer model tag.
  void identifyRequest();
  std::string printerModelTag() const;

  // LinkOpen and the boot handshake's marks.
  LinkState& state() { return state_; }
  // The owner thread's side: received bytes, and the USB link's device list.
  LinkReceiver& receiver() { return receiver_; }
  UsbTransport& usb() { return *usb_; }

 private:
  struct ReadOutcome {
    bool answered = false;
    int length = 0;
  };
  ReadOutcome framedReadOnce(std::uint16_t command, std::uint32_t value1, std::uint32_t value2,
                             std::span<const std::uint8_t> requestData,
                             std::span<std::uint8_t> reply, int attempts);
  Transport& transport();
  FailureKind silenceKind() const;

  TCommThread& worker_;
  LinkState state_;
  LinkReceiver receiver_;
  std::unique_ptr<SerialTransport> serial_;
  std::unique_ptr<UsbTransport> usb_;
  std::unique_ptr<Transport> network_;
  std::unique_ptr<Transport> parallel_;
  // By LinkKind: serial, network, USB, parallel.
  std::array<Transport*, 4> transports_{};
  mutable std::mutex tagMutex_;
  std::string modelTag_;
};

}  // namespace plenar
