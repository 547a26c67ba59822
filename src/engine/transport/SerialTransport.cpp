// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/transport/SerialTransport.h"

#include <algorithm>

#include "channels/SerialChannel.h"
#include "engine/LinkState.h"
#include "engine/TCommThread.h"
#include "engine/transport/AssembledReplies.h"
#include "shared/Errors.h"
#include "shared/RateCodes.h"

namespace plenar {

using std::chrono::milliseconds;

int checkedRate(std::optional<int> rate, const std::string& boxText) {
  if (!rate) throw EPrinterError("Invalid baud rate '" + boxText + "': not a number");
  if (!rateToCode(*rate)) {
    throw EPrinterError("Invalid baud rate " + std::to_string(*rate) +
                        ": the printer supports 1200 to 230400");
  }
  return *rate;
}

SerialTransport::SerialTransport(TCommThread& worker, LinkState& state, SerialChannel& channel)
    : worker_(worker), state_(state), channel_(channel) {}

Transport::Opened SerialTransport::open() {
  const LinkSnapshot& link = worker_.request().link;
  const int deviceRate = checkedRate(worker_.deviceBaud(), link.deviceBaudText);
  // Both rates are checked before the port opens, so nothing undefined reaches the printer.
  checkedRate(worker_.transferBaud(), link.transferBaudText);
  channel_.setPortName(link.serialPort);
  channel_.setRate(static_cast<std::uint32_t>(deviceRate));
  if (state_.linkOpen()) closePort();
  channel_.open();
  state_.setLinkOpen(true);
  if (worker_.commandCode() != 0) {
    worker_.trace().addLine("Open" + link.serialPort + traceTimestamp());
  }
  worker_.pause(milliseconds(30));
  return {.atDeviceRate = true, .answers = true};
}

void SerialTransport::close() {
  closePortTraced();
  state_.setLinkOpen(false);
}

void SerialTransport::resume() {
  channel_.open();
}

void SerialTransport::send(std::span<const std::uint8_t> bytes) {
  // A write on a closed port would be lost without a word; say so instead.
  for (std::size_t pos = 0; pos < bytes.size();) {
    const std::size_t n = std::min<std::size_t>(bytes.size() - pos, 0xFFFF);
    if (!channel_.send(bytes.subspan(pos, n))) {
      throw ECommunicationException("Serial write failed: the port is not open");
    }
    pos += n;
  }
}

bool SerialTransport::awaitAck(std::uint16_t command) {
  return awaitAssembledAck(worker_, command);
}

std::optional<int> SerialTransport::awaitRead(std::span<std::uint8_t> reply) {
  return awaitAssembledRead(worker_, reply);
}

std::uint32_t SerialTransport::rate() const {
  return channel_.rate();
}

void SerialTransport::setRate(std::uint32_t rate) {
  channel_.setRate(rate);
}

void SerialTransport::closePort() {
  // Closing discards what the driver has not sent yet; a raw sequence at a low rate may still be
  // on its way. A closing program does not wait for it.
  channel_.waitSendComplete(milliseconds(1000), [this] { return worker_.stopping(); });
  channel_.close();
}

void SerialTransport::closePortTraced() {
  closePort();
  if (state_.linkOpen() && worker_.commandCode() != 0) {
    worker_.trace().addLine("Close" + worker_.request().link.serialPort + traceTimestamp());
  }
}

void SerialTransport::dropPort() {
  channel_.close();
}

void SerialTransport::reopenAtDeviceRate(const std::string& name) {
  const int deviceRate = checkedRate(worker_.deviceBaud(), worker_.request().link.deviceBaudText);
  channel_.setPortName(name);
  channel_.setRate(static_cast<std::uint32_t>(deviceRate));
  // Closed first in any case: a port left open by an earlier command is reopened at the device
  // rate instead of failing with "already opened".
  closePort();
  channel_.open();
  state_.setLinkOpen(true);
  if (worker_.commandCode() != 0) worker_.pause(milliseconds(30));
}

void SerialTransport::refresh() {
  closePort();
  worker_.pause(milliseconds(10));
  channel_.open();
  // The port stays open; the next command's open step must know, or it would fail to open a
  // port that is already open.
  state_.setLinkOpen(true);
}

void SerialTransport::release() {
  closePort();
  state_.setLinkOpen(false);
}

}  // namespace plenar
