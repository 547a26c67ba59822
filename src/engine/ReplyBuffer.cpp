// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ReplyBuffer.h"

#include <algorithm>

#include "shared/Frame.h"

namespace plenar {

void ReplyBuffer::reset() {
  std::lock_guard lock(mutex_);
  length_ = 0;
  position_ = 0;
  complete_.reset();
}

void ReplyBuffer::appendRaw(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  for (std::uint8_t b : bytes) {
    if (position_ >= static_cast<int>(kSize)) break;
    buffer_[position_++] = b;
  }
}

void ReplyBuffer::assemble(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  // A complete reply waits for the worker: an ack carries no data, so its length of 0 cannot
  // tell it from a reply still being collected, and later bytes would wrap over its header.
  if (complete_.isSet()) return;
  auto& buf = buffer_;
  int& pos = position_;
  for (std::uint8_t b : bytes) {
    if (pos > static_cast<int>(kSize) - 1) pos = 0;
    if (pos != 0) {
      buf[pos++] = b;
    } else if (b == 0x02) {
      buf[0] = b;
      pos = 1;
    }
  }
  if (pos < static_cast<int>(kFrameHeaderSize)) return;
  const int length = getLe16(&buf[12]);
  const bool headerOk = headerCheckValid(buf);
  if (length >= 1) {
    if (pos <= length + static_cast<int>(kFrameHeaderSize)) return;  // data or check byte missing
    if (headerOk && dataValid(std::span(buf).subspan(kFrameHeaderSize, length + 1))) {
      length_ = length;
      complete_.set();
    } else {
      pos = 0;
    }
  } else if (headerOk) {
    length_ = 0;
    complete_.set();
  } else {
    pos = 0;
  }
}

int ReplyBuffer::copyData(std::span<std::uint8_t> out) const {
  std::lock_guard lock(mutex_);
  const int length = length_;
  const std::size_t available = std::min<std::size_t>(kSize - kFrameHeaderSize, length + 16);
  std::copy_n(buffer_.begin() + kFrameHeaderSize, std::min(available, out.size()), out.begin());
  return length;
}

std::uint8_t ReplyBuffer::firstByte() const {
  std::lock_guard lock(mutex_);
  return buffer_[0];
}

void ReplyBuffer::fill(std::uint8_t value) {
  std::lock_guard lock(mutex_);
  buffer_.fill(value);
}

std::array<std::uint8_t, 16> ReplyBuffer::header() const {
  std::lock_guard lock(mutex_);
  std::array<std::uint8_t, 16> out;
  std::copy_n(buffer_.begin(), out.size(), out.begin());
  return out;
}

int ReplyBuffer::position() const {
  std::lock_guard lock(mutex_);
  return position_;
}

}  // namespace plenar
