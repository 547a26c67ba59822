// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/transport/Transport.h"

namespace plenar {

class TCommThread;
class LinkState;
class SerialChannel;

// A rate box's value as the printer takes it: throws a clear text for a box that holds no number
// ("Invalid baud rate '<text>': not a number") and for a rate without a rate code.
int checkedRate(std::optional<int> rate, const std::string& boxText);

// The serial link: the port opens at the device rate (the link layer then switches to the
// transfer rate); replies are assembled from the received bytes on the owner thread. Also the
// serial port's own operations, which some commands use whatever link is chosen.
class SerialTransport : public Transport {
 public:
  SerialTransport(TCommThread& worker, LinkState& state, SerialChannel& channel);

  Opened open() override;
  void close() override;
  void suspend() override { closePort(); }
  void resume() override;
  void send(std::span<const std::uint8_t> bytes) override;
  bool awaitAck(std::uint16_t command) override;
  std::optional<int> awaitRead(std::span<std::uint8_t> reply) override;

  // The rate the port runs at (or opens at next).
  std::uint32_t rate() const;
  void setRate(std::uint32_t rate);
  // Closes the port once everything written has left the driver (a closing program does not
  // wait for it).
  void closePort();
  // closePort(), and a "Close" line in the trace while LinkOpen is set during a command.
  void closePortTraced();
  // Closes the port at once; what is still queued is dropped.
  void dropPort();
  // (Re)opens `name` at the device rate, closing it first; sets LinkOpen.
  void reopenAtDeviceRate(const std::string& name);
  // Closes and reopens the port with its current settings; sets LinkOpen.
  void refresh();
  // Closes the port; clears LinkOpen.
  void release();

 private:
  TCommThread& worker_;
  LinkState& state_;
  SerialChannel& channel_;
};

}  // namespace plenar
