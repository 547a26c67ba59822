// SPDX-License-Identifier: GPL-3.0-or-later
#include "logo/BmpRle.h"

#include <algorithm>
#include <cstddef>

namespace plenar {

namespace {

// Reads the run-length stream byte by byte; past its end every read gives nothing.
class ByteReader {
 public:
  explicit ByteReader(std::string_view data) : data_(data) {}
  bool next(std::uint8_t& b) {
    if (at_ >= data_.size()) return false;
    b = static_cast<std::uint8_t>(data_[at_++]);
    return true;
  }
  void skip(std::size_t n) { at_ = std::min(data_.size(), at_ + n); }

 private:
  std::string_view data_;
  std::size_t at_ = 0;
};

class Canvas {
 public:
  Canvas(int width, int height)
      : width_(width),
        height_(height),
        pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kRleUnset) {}

  bool done() const { return y_ >= height_; }
  void put(std::uint8_t index) {
    if (x_ < width_) pixels_[static_cast<std::size_t>(y_) * width_ + x_] = index;
    ++x_;
  }
  void endOfLine() {
    x_ = 0;
    ++y_;
  }
  void move(int dx, int dy) {
    x_ = std::min(x_ + dx, width_ - 1);
    y_ = std::min(y_ + dy, height_ - 1);
  }
  void finish() { y_ = height_; }
  std::vector<std::int16_t> take() { return std::move(pixels_); }

 private:
  int width_;
  int height_;
  int x_ = 0;
  int y_ = 0;
  std::vector<std::int16_t> pixels_;
};

}  // namespace

std::vector<std::int16_t> expandBmpRle(std::string_view data, int width, int height,
                                       bool fourBits) {
  ByteReader in(data);
  Canvas canvas(width, height);
  std::uint8_t count = 0, value = 0;
  while (!canvas.done() && in.next(count)) {
    if (count > 0) {  // a run: one byte repeated (RLE8), or two alternating nibbles (RLE4)
      if (!in.next(value)) break;
      for (int i = 0; i < count; ++i) {
        canvas.put(fourBits ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
      }
      continue;
    }
    std::uint8_t code = 0;
    if (!in.next(code) || code == 1) {  // end of bitmap
      canvas.finish();
    } else if (code == 0) {
      canvas.endOfLine();
    } else if (code == 2) {  // delta: right and up
      std::uint8_t dx = 0, dy = 0;
      if (!in.next(dx) || !in.next(dy)) break;
      canvas.move(dx, dy);
    } else {  // `code` pixels stored as they are, padded to a 16-bit boundary
      const std::size_t bytes = fourBits ? (code + 1u) / 2u : code;
      for (int i = 0; i < code; ++i) {
        if (fourBits) {
          if (i % 2 == 0 && !in.next(value)) break;
          canvas.put(i % 2 == 0 ? value >> 4 : value & 0x0F);
        } else {
          if (!in.next(value)) break;
          canvas.put(value);
        }
      }
      if (bytes % 2 == 1) in.skip(1);
    }
  }
  return canvas.take();
}

}  // namespace plenar
