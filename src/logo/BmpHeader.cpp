// SPDX-License-Identifier: GPL-3.0-or-later
#include "logo/BmpHeader.h"

#include <cstdint>
#include <cstdlib>

namespace plenar {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kCoreHeaderSize = 12;  // OS/2 1.x: 16-bit width and height
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

std::uint32_t le16(std::string_view b, std::size_t at) {
  return static_cast<std::uint8_t>(b[at]) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 8;
}

std::uint32_t le32(std::string_view b, std::size_t at) {
  return le16(b, at) | le16(b, at + 2) << 16;
}

std::string shortBy(std::uint64_t needed, std::size_t have) {
  return "the file ends before its pixel data (" + std::to_string(have) + " of " +
         std::to_string(needed) + " bytes)";
}

}  // namespace

std::optional<std::string> bmpTruncation(std::string_view file) {
  if (file.size() < kFileHeaderSize + 4 || file[0] != 'B' || file[1] != 'M') return std::nullopt;
  const std::uint64_t dataOffset = le32(file, 10);
  const std::uint32_t headerSize = le32(file, kFileHeaderSize);
  std::int64_t width = 0, height = 0;
  std::uint32_t bitsPerPixel = 0, compression = kRgb, imageSize = 0;
  if (headerSize == kCoreHeaderSize) {
    if (file.size() < kFileHeaderSize + kCoreHeaderSize) return std::nullopt;
    width = static_cast<std::int16_t>(le16(file, 18));
    height = static_cast<std::int16_t>(le16(file, 20));
    bitsPerPixel = le16(file, 24);
  } else if (headerSize >= kInfoHeaderSize) {
    if (file.size() < kFileHeaderSize + kInfoHeaderSize) return std::nullopt;
    width = static_cast<std::int32_t>(le32(file, 18));
    height = static_cast<std::int32_t>(le32(file, 22));  // negative: rows stored top-down
    bitsPerPixel = le16(file, 28);
    compression = le32(file, 30);
    imageSize = le32(file, 34);
  } else {
    return std::nullopt;
  }
  if (width <= 0 || height == 0 || bitsPerPixel == 0) return std::nullopt;

  std::uint64_t needed = 0;
  if (compression == kRgb || compression == kBitFields || compression == kAlphaBitFields) {
    // Each row is padded to a multiple of four bytes.
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
    needed = dataOffset + stride * static_cast<std::uint64_t>(std::llabs(height));
  } else if (compression == kRle8 || compression == kRle4) {
    // Run-length data has no fixed size; the header's image size is the only promise.
    needed = dataOffset + (imageSize > 0 ? imageSize : 1);
  } else {
    return std::nullopt;
  }
  if (needed > file.size()) return shortBy(needed, file.size());
  return std::nullopt;
}

}  // namespace plenar
