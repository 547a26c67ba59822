// SPDX-License-Identifier: GPL-3.0-or-later
#include "channels/SerialInputFilter.h"

namespace plenar {

std::size_t SerialInputFilter::filter(const std::uint8_t* in, std::size_t count, std::uint8_t* out,
                                      const Options& options) {
  std::size_t written = 0;
  auto emit = [&](std::uint8_t byte) {
    if (byte == 0x00 && options.dropNul) return;
    out[written++] = byte;
  };
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t byte = in[i];
    switch (state_) {
      case State::Plain:
        if (byte == 0xFF && options.parityMarks) {
          state_ = State::SeenFF;
        } else {
          emit(byte);
        }
        break;
      case State::SeenFF:
        if (byte == 0xFF) {
          state_ = State::Plain;
          emit(0xFF);
        } else if (byte == 0x00) {
          state_ = State::SeenFF00;
        } else {
          // Not a mark: bytes that were queued before marking was switched on.
          state_ = State::Plain;
          emit(0xFF);
          emit(byte);
        }
        break;
      case State::SeenFF00:
        state_ = State::Plain;
        if (byte == 0x00) {
          emit(0x00);  // break
        } else {
          emit(options.replaceErrors ? options.replacedChar : byte);
        }
        break;
    }
  }
  return written;
}

}  // namespace plenar
