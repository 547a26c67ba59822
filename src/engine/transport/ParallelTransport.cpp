// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/transport/ParallelTransport.h"

#include "channels/ParallelChannel.h"
#include "engine/LinkState.h"
#include "engine/TCommThread.h"
#include "shared/Errors.h"

namespace plenar {
namespace {

using std::chrono::milliseconds;

constexpr int kParallelIoBase = 0x378;

}  // namespace

ParallelTransport::ParallelTransport(TCommThread& worker, LinkState& state,
                                     ParallelChannel* channel)
    : worker_(worker), state_(state), channel_(channel) {}

ParallelChannel& ParallelTransport::channel() {
  if (!channel_) throw ECommsError("The parallel port channel is not available");
  return *channel_;
}

void ParallelTransport::activate() {
  ParallelChannel& port = channel();
  port.setPortNumber(worker_.request().link.lptNumber);
  port.setDirectMode(false);
  port.setIoBase(kParallelIoBase);
  port.open();
  worker_.pause(milliseconds(100));
}

Transport::Opened ParallelTransport::open() {
  state_.setLinkOpen(true);
  activate();
  return {.atDeviceRate = false, .answers = false};
}

void ParallelTransport::close() {
  suspend();
  state_.setLinkOpen(false);
}

void ParallelTransport::suspend() {
  if (channel_) channel_->close();
}

void ParallelTransport::send(std::span<const std::uint8_t> bytes) {
  // The port has no return channel, but the lp driver does refuse a write (port gone, printer
  // out of paper, offline or faulted) and the channel a byte the printer never took: the command
  // fails with that text instead of being reported done. Commands that do not open the link
  // (user data) find the port closed after a link test; a closed port drops what is written
  // without a word.
  ParallelChannel& port = channel();
  if (!port.isOpen()) activate();
  port.send(bytes);
}

bool ParallelTransport::awaitAck(std::uint16_t) {
  worker_.pause(milliseconds(100));
  return true;
}

std::optional<int> ParallelTransport::awaitRead(std::span<std::uint8_t>) {
  worker_.pause(milliseconds(100));
  return 0;
}

}  // namespace plenar
