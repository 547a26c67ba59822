// SPDX-License-Identifier: GPL-3.0-or-later
#include "FrameScanner.h"

namespace plenar::sim {

void FrameScanner::feed(std::span<const std::uint8_t> bytes) {
  compact();
  buf_.insert(buf_.end(), bytes.begin(), bytes.end());
}

void FrameScanner::compact() {
  if (pos_ == 0) return;
  buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(pos_));
  pos_ = 0;
}

FrameScanner::Item FrameScanner::next() {
  Item item;
  const std::size_t size = buf_.size();
  if (pos_ >= size) return item;

  // Raw bytes up to the next possible frame start.
  std::size_t i = pos_;
  while (i < size && !(buf_[i] == 0x02 && (i + 1 == size || buf_[i + 1] == 0x00))) ++i;
  if (i > pos_) {
    item.kind = Item::Kind::Raw;
    item.bytes.assign(buf_.begin() + static_cast<std::ptrdiff_t>(pos_),
                      buf_.begin() + static_cast<std::ptrdiff_t>(i));
    pos_ = i;
    return item;
  }

  if (size - pos_ < kFrameHeaderSize) return item;  // undecided until the header is complete
  std::span<const std::uint8_t> header(&buf_[pos_], kFrameHeaderSize);
  FrameHeader h = parseHeader(header);
  if (!headerValid(header) || h.dataLength > kMaxData) {
    // Not a frame after all: the 0x02 is an ordinary byte.
    item.kind = Item::Kind::Raw;
    item.bytes.push_back(buf_[pos_]);
    ++pos_;
    return item;
  }
  std::size_t total = frameSize(h.dataLength);
  if (size - pos_ < total) return item;
  item.header = h;
  item.bytes.assign(buf_.begin() + static_cast<std::ptrdiff_t>(pos_),
                    buf_.begin() + static_cast<std::ptrdiff_t>(pos_ + total));
  pos_ += total;
  bool ok = h.dataLength == 0 ||
            dataValid(std::span<const std::uint8_t>(item.bytes).subspan(kFrameHeaderSize));
  item.kind = ok ? Item::Kind::Frame : Item::Kind::BadFrame;
  return item;
}

std::vector<std::uint8_t> FrameScanner::takePending() {
  std::vector<std::uint8_t> rest(buf_.begin() + static_cast<std::ptrdiff_t>(pos_), buf_.end());
  buf_.clear();
  pos_ = 0;
  return rest;
}

}  // namespace plenar::sim
