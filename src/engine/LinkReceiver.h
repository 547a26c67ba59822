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

// Where the bytes the serial and USB channels receive go, on the owner (UI) thread: while a
// command runs, into the worker's reply buffer (and the trace); between commands, line by line
// into the connection window's text area. In boot mode the serial bytes are also copied raw,
// for the boot handshake's echo.
// Threads: owner thread only; meets the worker only through its reply buffer.
class LinkReceiver {
 public:
  LinkReceiver(TCommThread& worker, LinkState& state);

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
