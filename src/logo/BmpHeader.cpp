// SPDX-License-Identifier: GPL-3.0-or-later
#include "logo/BmpHeader.h"

#include <algorithm>
#include <climits>
#include <string>

namespace plenar {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;  // OS/2 1.x: 16-bit width and height
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kOs2InfoHeaderSize = 64;  // OS/2 2.x: its masks follow the header
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;

std::uint32_t le16(std::string_view b, std::size_t at) {
  return static_cast<std::uint8_t>(b[at]) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 8;
}

std::uint32_t le32(std::string_view b, std::size_t at) {
  return le16(b, at) | le16(b, at + 2) << 16;
}

[[noreturn]] void refuse(const std::string& reason) {
  throw BmpFormatError(reason);
}

bool knownInfoHeaderSize(std::uint32_t size) {
  // Windows 3 (40), its two extensions with masks (52, 56), OS/2 2.x (64), Windows 4 and 5.
  return size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
}

BmpCompression compressionFor(std::uint32_t code, unsigned bits) {
  if (code == kRgb) return BmpCompression::None;
  if (code == kRle8 && bits == 8) return BmpCompression::Rle8;
  if (code == kRle4 && bits == 4) return BmpCompression::Rle4;
  if (code == kBitFields && (bits == 16 || bits == 32)) return BmpCompression::BitFields;
  refuse("compression " + std::to_string(code) + " with " + std::to_string(bits) +
         " bits per pixel is not supported");
}

// The colour masks and the palette after the headers; returns where they end.
std::size_t readMasksAndPalette(std::string_view file, BmpHeader& h, std::uint32_t headerSize,
                                std::uint32_t coloursUsed) {
  const unsigned bits = h.bitsPerPixel;
  std::size_t at = kFileHeaderSize + headerSize;
  if (h.compression == BmpCompression::BitFields) {
    // Windows 3 and OS/2 2.x headers are followed by the three masks; the later headers hold
    // them at the same place inside.
    std::size_t masksAt = kFileHeaderSize + kInfoHeaderSize;
    if (headerSize == kInfoHeaderSize || headerSize == kOs2InfoHeaderSize) {
      masksAt = at;
      at += 12;
      if (file.size() < at) refuse("the file ends inside its colour masks");
    }
    for (std::size_t i = 0; i < 3; ++i) h.masks[i] = le32(file, masksAt + 4 * i);
  } else if (bits == 16) {
    h.masks = {0x7C00, 0x03E0, 0x001F};
  } else if (bits > 16) {
    h.masks = {0xFF0000, 0x00FF00, 0x0000FF};
  }

  if (bits <= 8) {
    h.colours = coloursUsed != 0 ? coloursUsed : 1u << bits;
    if (h.colours > 256) refuse("a palette of " + std::to_string(h.colours) + " colours");
    h.paletteOffset = at;
    at += std::size_t{h.colours} * h.paletteEntryBytes;
    if (file.size() <= at) refuse("the file ends inside its palette");
  }
  return at;
}

// Where the rows start and how many bytes of them the file must hold.
void placePixelData(std::string_view file, BmpHeader& h, std::uint32_t pixelOffset, std::size_t at,
                    std::uint32_t imageSize) {
  // A pixel offset that points back into the headers or the palette is not believed: the rows
  // follow what came before.
  h.dataOffset = std::max<std::size_t>(pixelOffset, at);
  std::uint64_t needed = 0;
  if (h.compression == BmpCompression::Rle8 || h.compression == BmpCompression::Rle4) {
    // Run-length data has no fixed size; the header's image size is the only promise.
    needed = std::uint64_t{h.dataOffset} + (imageSize > 0 ? imageSize : 1);
    if (needed <= file.size()) h.dataBytes = file.size() - h.dataOffset;
  } else {
    // Saturates instead of wrapping: a header may announce 2^31 rows of 2^31 pixels.
    const std::uint64_t rows = static_cast<std::uint64_t>(h.height);
    const std::uint64_t room = UINT64_MAX - h.dataOffset;
    needed = h.stride() > room / rows ? UINT64_MAX : h.dataOffset + h.stride() * rows;
    h.dataBytes = needed - h.dataOffset;
  }
  if (needed > file.size()) {
    refuse("the file ends before its pixel data (" + std::to_string(file.size()) + " of " +
           std::to_string(needed) + " bytes)");
  }
}

}  // namespace

BmpHeader readBmpHeader(std::string_view file) {
  if (file.size() < 2 || file[0] != 'B' || file[1] != 'M') refuse("not a BMP file");
  if (file.size() < kFileHeaderSize + 4) refuse("the file ends inside its headers");
  const std::uint32_t pixelOffset = le32(file, 10);
  const std::uint32_t headerSize = le32(file, kFileHeaderSize);
  if (headerSize != kCoreHeaderSize && !knownInfoHeaderSize(headerSize)) {
    refuse("unknown header size " + std::to_string(headerSize));
  }
  if (file.size() < kFileHeaderSize + headerSize) refuse("the file ends inside its headers");

  BmpHeader h;
  std::int64_t height = 0;
  std::uint32_t planes = 0, code = kRgb, imageSize = 0, coloursUsed = 0;
  if (headerSize == kCoreHeaderSize) {
    h.width = static_cast<std::int16_t>(le16(file, 18));
    height = static_cast<std::int16_t>(le16(file, 20));
    planes = le16(file, 22);
    h.bitsPerPixel = le16(file, 24);
    h.paletteEntryBytes = 3;
  } else {
    h.width = static_cast<std::int32_t>(le32(file, 18));
    height = static_cast<std::int32_t>(le32(file, 22));  // negative: rows stored top-down
    planes = le16(file, 26);
    h.bitsPerPixel = le16(file, 28);
    code = le32(file, 30);
    imageSize = le32(file, 34);
    coloursUsed = le32(file, 46);
  }
  const unsigned bits = h.bitsPerPixel;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    refuse(std::to_string(bits) + " bits per pixel is not supported");
  }
  if (planes != 1) refuse(std::to_string(planes) + " colour planes");
  h.compression = compressionFor(code, bits);
  if (h.width <= 0 || height == 0 || height == INT_MIN) {
    refuse("invalid size " + std::to_string(h.width) + " x " + std::to_string(height));
  }
  h.topDown = height < 0;
  h.height = static_cast<std::int32_t>(height < 0 ? -height : height);

  const std::size_t at = readMasksAndPalette(file, h, headerSize, coloursUsed);
  placePixelData(file, h, pixelOffset, at, imageSize);
  return h;
}

}  // namespace plenar
