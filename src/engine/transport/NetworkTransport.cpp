// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/transport/NetworkTransport.h"

#include <algorithm>
#include <array>

#include "engine/LinkState.h"
#include "engine/TCommThread.h"
#include "platform/UdpSocket.h"
#include "shared/Frame.h"

namespace plenar {
namespace {

using std::chrono::milliseconds;

constexpr std::size_t kDatagramMax = 2049;

}  // namespace

NetworkTransport::NetworkTransport(TCommThread& worker, LinkState& state, UdpSocket& socket)
    : worker_(worker), state_(state), socket_(socket) {}

void NetworkTransport::activate() {
  const LinkSnapshot& link = worker_.request().link;
  socket_.activate(link.ipAddress, link.udpPort);
}

Transport::Opened NetworkTransport::open() {
  state_.setLinkOpen(true);
  activate();
  return {.atDeviceRate = false, .answers = true};
}

void NetworkTransport::close() {
  socket_.deactivate();
  state_.setLinkOpen(false);
}

void NetworkTransport::suspend() {
  socket_.deactivate();
}

void NetworkTransport::resume() {
  activate();
}

void NetworkTransport::send(std::span<const std::uint8_t> bytes) {
  // Commands that do not open the link (user data, port refresh) find the socket closed after a
  // link test; a datagram into a closed socket would vanish without a word.
  if (!socket_.isActive()) activate();
  socket_.send(bytes);
}

bool NetworkTransport::awaitAck(std::uint16_t) {
  std::array<std::uint8_t, kDatagramMax> datagram{};
  const std::size_t n = receive(datagram, milliseconds(1000));
  if (n > 0) worker_.trace().addReceive(std::span(datagram).first(n));
  // Only the start of an acknowledgement is looked at on the network.
  return answerStart(std::span(datagram).first(n));
}

std::optional<int> NetworkTransport::awaitRead(std::span<std::uint8_t> reply) {
  std::array<std::uint8_t, kDatagramMax> datagram{};
  const std::size_t n = receive(datagram, milliseconds(3000));
  if (n == 0) return std::nullopt;
  worker_.trace().addReceive(std::span(datagram).first(n));
  if (!answerStart(std::span(datagram).first(n))) return std::nullopt;
  const int length = parseHeader(datagram).dataLength;
  worker_.reply().setLength(length);
  // The data, its check byte and what follows, as far as the datagram and the caller's buffer
  // reach; nothing stale is left behind the copied bytes.
  const std::size_t available = std::min<std::size_t>(n - kFrameHeaderSize, length + 16);
  const std::size_t copy = std::min(available, reply.size());
  std::copy_n(datagram.begin() + kFrameHeaderSize, copy, reply.begin());
  std::fill(reply.begin() + copy, reply.end(), 0);
  return length;
}

std::size_t NetworkTransport::receive(std::span<std::uint8_t> buffer, milliseconds timeout) {
  // In slices, so that a closing program does not wait out a silent printer.
  constexpr milliseconds kSlice(100);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    worker_.checkStopping();
    auto left =
        std::chrono::duration_cast<milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left <= milliseconds::zero()) return 0;
    const milliseconds slice = std::min(left, kSlice);
    const auto sliceStart = std::chrono::steady_clock::now();
    if (std::size_t n = socket_.receive(buffer, slice); n > 0) return n;
    // A slice that ends well before its time is a closed socket or a socket error: the receive
    // ends there (half the slice, since the socket's poll rounds its time-out down to whole
    // milliseconds).
    if (std::chrono::steady_clock::now() - sliceStart < slice / 2) return 0;
  }
}

}  // namespace plenar
