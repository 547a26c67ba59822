// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/transport/UsbTransport.h"

#include "channels/UsbChannel.h"
#include "engine/LinkState.h"
#include "engine/TCommThread.h"
#include "engine/UsbDeviceList.h"
#include "engine/transport/AssembledReplies.h"
#include "engine/transport/SerialTransport.h"
#include "shared/Errors.h"

namespace plenar {

UsbTransport::UsbTransport(TCommThread& worker, LinkState& state, UsbChannel* channel,
                           SerialTransport& serial)
    : worker_(worker), state_(state), channel_(channel), serial_(serial) {}

UsbChannel& UsbTransport::channel() {
  if (!channel_) throw ECommsError("The USB channel is not available");
  return *channel_;
}

Transport::Opened UsbTransport::open() {
  if (!state_.linkOpen()) {
    UsbChannel& usb = channel();
    usb.select(worker_.request().link.usbDevice);
    usb.open();
    state_.setLinkOpen(true);
    // A device just opened settles before the first request; one that stayed open from the
    // last command needs no wait (it cost every command, every group of an apply, 100 ms).
    worker_.pause(std::chrono::milliseconds(100));
  }
  return {.atDeviceRate = false, .answers = true};
}

void UsbTransport::close() {
  serial_.closePortTraced();
}

void UsbTransport::suspend() {
  if (channel_) channel_->close();
}

void UsbTransport::resume() {
  channel().open();
}

void UsbTransport::send(std::span<const std::uint8_t> bytes) {
  if (!channel_ || !channel_->send(bytes)) {
    throw ECommunicationException("USB write failed: the device is not open");
  }
}

bool UsbTransport::awaitAck(std::uint16_t command) {
  return awaitAssembledAck(worker_, command);
}

std::optional<int> UsbTransport::awaitRead(std::span<std::uint8_t> reply) {
  return awaitAssembledRead(worker_, reply);
}

std::vector<std::string> UsbTransport::devicesAtStart(const std::vector<std::string>& filters) {
  if (!channel_) return {};
  return usbDevicesAtStart(channel_->devices(), filters);
}

void UsbTransport::deviceChanged(bool arrival) {
  if (!channel_) return;
  channel_->close();
  auto entries = usbDevicesAfterChange(channel_->devices());
  if (listSink_) listSink_(entries, arrival && !entries.empty());
}

void UsbTransport::sendQueueEmpty() {
  if (channel_) channel_->setSendDataEmpty(true);
}

}  // namespace plenar
