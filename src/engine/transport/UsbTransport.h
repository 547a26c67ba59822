// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/transport/Transport.h"

namespace plenar {

class TCommThread;
class LinkState;
class UsbChannel;
class SerialTransport;

// The USB link: the chosen printer's bulk endpoints. The device stays open across commands until
// a USB device arrives or leaves; replies are assembled from the received bytes on the owner
// thread. Also the connection window's USB list, which follows arrivals and removals.
class UsbTransport : public Transport {
 public:
  using ListSink = std::function<void(const std::vector<std::string>& entries, bool selectFirst)>;

  // `channel` may be null (no libusb here): opening the link then fails with a message. `serial`
  // is the serial port, which closing the USB link closes too.
  UsbTransport(TCommThread& worker, LinkState& state, UsbChannel* channel, SerialTransport& serial);

  Opened open() override;
  // Closes the serial port an earlier command may have left open (with its trace line); the
  // device and LinkOpen stay as they are.
  void close() override;
  void suspend() override;
  void resume() override;
  void send(std::span<const std::uint8_t> bytes) override;
  bool awaitAck(std::uint16_t command) override;
  std::optional<int> awaitRead(std::span<std::uint8_t> reply) override;

  // ---- the device list (owner thread) ----
  // The entries the connection window lists at start-up (empty without a channel).
  std::vector<std::string> devicesAtStart(const std::vector<std::string>& filters);
  // A device arrived or left: the channel is closed (LinkOpen stays as it is) and the list
  // refilled through the sink; after an arrival the first entry is selected.
  void deviceChanged(bool arrival);
  void setListSink(ListSink sink) { listSink_ = std::move(sink); }
  // The channel's writer found its queue empty.
  void sendQueueEmpty();

 private:
  UsbChannel& channel();

  TCommThread& worker_;
  LinkState& state_;
  UsbChannel* channel_;
  SerialTransport& serial_;
  ListSink listSink_;
};

}  // namespace plenar
