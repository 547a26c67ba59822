// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace plenar {

class TCommThread;

// The waits of the links whose replies are assembled from received bytes on the owner thread
// (serial and USB): the worker waits for the reply buffer to hold a complete reply.

// An acknowledgement, within 3 s. User data (0x92) gets none: a short pause instead.
bool awaitAssembledAck(TCommThread& worker, std::uint16_t command);
// A read's reply, within 600 ms; its data copied to `reply`.
std::optional<int> awaitAssembledRead(TCommThread& worker, std::span<std::uint8_t> reply);

}  // namespace plenar
