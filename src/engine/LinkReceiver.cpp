// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/LinkReceiver.h"

#include "engine/LinkState.h"
#include "engine/TCommThread.h"

namespace plenar {

LinkReceiver::LinkReceiver(TCommThread& worker, LinkState& state)
    : worker_(worker), state_(state) {}

bool LinkReceiver::takeSerial(std::span<const std::uint8_t> bytes) {
  if (state_.bootFlag()) {
    worker_.trace().addReceive(bytes);
    // The raw copy of boot mode stops at the end of the buffer; excess bytes are dropped.
    worker_.reply().appendRaw(bytes);
  } else if (worker_.commandCode() == 0) {
    return false;
  }
  replyAssembler(bytes);
  return true;
}

bool LinkReceiver::takeUsb(std::span<const std::uint8_t> bytes) {
  if (worker_.commandCode() == 0) return false;
  replyAssembler(bytes);
  return true;
}

void LinkReceiver::serialReceive(const std::uint8_t* bytes, std::uint16_t count) {
  const std::span<const std::uint8_t> received(bytes, count);
  if (!takeSerial(received)) showInTextArea(received);
}

void LinkReceiver::usbReceive(const std::uint8_t* bytes, std::uint16_t count) {
  const std::span<const std::uint8_t> received(bytes, count);
  if (!takeUsb(received)) showInTextArea(received);
}

void LinkReceiver::replyAssembler(std::span<const std::uint8_t> bytes) {
  worker_.trace().addReceive(bytes);
  worker_.reply().assemble(bytes);
}

void LinkReceiver::setTextAreaSink(std::function<void(const std::string&)> sink) {
  textAreaSink_ = std::move(sink);
}

void LinkReceiver::showInTextArea(std::span<const std::uint8_t> bytes) {
  if (!textAreaSink_) return;
  std::string line;
  for (std::uint8_t b : bytes) {
    const char c = static_cast<char>(b);
    if (c == '\r') continue;
    if (c == '\n') {
      textAreaSink_(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) textAreaSink_(line);
}

}  // namespace plenar
