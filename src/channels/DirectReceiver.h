// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace plenar {

// Takes received bytes on the thread that read them (the serial reader, libusb's event thread);
// true when it took them, false to have them queued for the owner thread's OnReceiveData.
// Threads: the channel's reading thread; whatever it touches must be safe from there.
using DirectReceiver = std::function<bool(std::span<const std::uint8_t> bytes)>;

}  // namespace plenar
