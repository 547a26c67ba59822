// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace plenar {

class TCommThread;
class LinkState;

// Where the bytes the serial and USB channels receive go: while a command runs, into the
// worker's reply buffer (and the trace) straight from the channel's reading thread, so that a
// reply wakes the worker without waiting for the owner thread's event loop; between commands,
// queued for the owner (UI) thread and shown line by line in the connection window's text area.
// In boot mode the serial bytes are also copied raw, for the boot handshake's echo.
// Threads: takeSerial/takeUsb on the channels' reading threads; the rest on the owner thread.
// Meets the worker only through its reply buffer and trace, both locked.
class LinkReceiver {
 public:
  LinkReceiver(TCommThread& worker, LinkState& state);

  // On the reading thread: the bytes of a running command, taken (true); between commands,
  // left to be queued for the owner thread (false).
  bool takeSerial(std::span<const std::uint8_t> bytes);
  bool takeUsb(std::span<const std::uint8_t> bytes);
  // On the owner thread: what the reading thread left (and the bytes of channels without a
  // direct receiver).
  void serialReceive(const std::uint8_t* bytes, std::uint16_t count);
  void usbReceive(const std::uint8_t* bytes, std::uint16_t count);
  // Assembles a reply frame from received bytes (while a command runs).
  void replyAssembler(std::span<const std::uint8_t> bytes);
  // Receives the text lines of bytes that arrive while no command runs.
  void setTextAreaSink(std::function<void(const std::string&)> sink);

 private:
  void showInTextArea(std::span<const std::uint8_t> bytes);

  TCommThread& worker_;
  LinkState& state_;
  std::function<void(const std::string&)> textAreaSink_;
};

}  // namespace plenar
