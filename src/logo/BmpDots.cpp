// SPDX-License-Identifier: GPL-3.0-or-later
#include "logo/BmpDots.h"

#include <array>
#include <cstddef>

#include "logo/BmpRle.h"

namespace plenar {

namespace {

bool dark(unsigned r, unsigned g, unsigned b) {
  return (r * 11 + g * 16 + b * 5) / 32 < 128;
}

// Which palette indices print; indices beyond the palette stay false.
std::array<bool, 256> paletteDots(std::string_view file, const BmpHeader& h) {
  std::array<bool, 256> dots{};
  for (unsigned i = 0; i < h.colours; ++i) {
    const std::size_t at = h.paletteOffset + std::size_t{i} * h.paletteEntryBytes;
    const unsigned b = static_cast<std::uint8_t>(file[at]);
    const unsigned g = static_cast<std::uint8_t>(file[at + 1]);
    const unsigned r = static_cast<std::uint8_t>(file[at + 2]);
    dots[i] = h.bitsPerPixel == 1 ? (r | g | b) == 0 : dark(r, g, b);
  }
  return dots;
}

// One colour channel of a masked pixel, widened to 8 bits by multiplying with 256 / (its
// largest value + 1): 5 bits give 0..248 in steps of 8, as the logos were always converted.
// Channels wider than 8 bits keep their top 8 bits.
class Channel {
 public:
  explicit Channel(std::uint32_t mask) : mask_(mask) {
    while (mask != 0 && (mask & 1) == 0) {
      ++shift_;
      mask >>= 1;
    }
    for (std::uint32_t rest = mask; rest > 0xFF; rest >>= 1) ++narrow_;
    const std::uint32_t top = mask >> narrow_;
    factor_ = 256 / (top + 1);
  }
  unsigned operator()(std::uint32_t pixel) const {
    const std::uint32_t v = ((pixel & mask_) >> shift_) >> narrow_;
    return (v * factor_) & 0xFF;
  }

 private:
  std::uint32_t mask_;
  unsigned shift_ = 0;
  unsigned narrow_ = 0;  // bits dropped from a channel wider than 8
  std::uint32_t factor_ = 1;
};

std::uint32_t pixelAt(const std::uint8_t* p, unsigned bytes) {
  std::uint32_t v = 0;
  for (unsigned i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  return v;
}

}  // namespace

std::vector<std::uint8_t> bmpDots(std::string_view file, const BmpHeader& h) {
  const std::size_t width = static_cast<std::size_t>(h.width);
  const std::size_t height = static_cast<std::size_t>(h.height);
  std::vector<std::uint8_t> out(width * height, 0);
  // Rows are stored bottom-up unless the header's height was negative.
  auto outRow = [&](std::size_t stored) {
    return out.data() + (h.topDown ? stored : height - 1 - stored) * width;
  };

  if (h.compression == BmpCompression::Rle8 || h.compression == BmpCompression::Rle4) {
    const auto dots = paletteDots(file, h);
    const auto indices = expandBmpRle(file.substr(h.dataOffset, h.dataBytes), h.width, h.height,
                                      h.compression == BmpCompression::Rle4);
    for (std::size_t r = 0; r < height; ++r) {
      std::uint8_t* row = outRow(r);
      for (std::size_t x = 0; x < width; ++x) {
        const std::int16_t index = indices[r * width + x];
        row[x] = index != kRleUnset && dots[static_cast<std::size_t>(index)];
      }
    }
    return out;
  }

  const auto* data = reinterpret_cast<const std::uint8_t*>(file.data()) + h.dataOffset;
  const std::size_t stride = h.stride();
  if (h.bitsPerPixel <= 8) {
    const auto dots = paletteDots(file, h);
    const unsigned bits = h.bitsPerPixel;
    const unsigned perByte = 8 / bits;
    const unsigned valueMask = (1u << bits) - 1;
    for (std::size_t r = 0; r < height; ++r) {
      const std::uint8_t* in = data + r * stride;
      std::uint8_t* row = outRow(r);
      for (std::size_t x = 0; x < width; ++x) {
        // The leftmost pixel sits in the highest bits of its byte.
        const unsigned slot = static_cast<unsigned>(x % perByte);
        const unsigned index = (in[x / perByte] >> (8 - bits * (slot + 1))) & valueMask;
        row[x] = dots[index];
      }
    }
    return out;
  }

  const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]);
  const unsigned bytes = h.bitsPerPixel / 8;
  for (std::size_t r = 0; r < height; ++r) {
    const std::uint8_t* in = data + r * stride;
    std::uint8_t* row = outRow(r);
    for (std::size_t x = 0; x < width; ++x) {
      const std::uint32_t pixel = pixelAt(in + x * bytes, bytes);
      row[x] = dark(red(pixel), green(pixel), blue(pixel));
    }
  }
  return out;
}

}  // namespace plenar
