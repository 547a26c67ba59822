// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "shared/Errors.h"

namespace plenar {

// Why a file is not a BMP this program reads; what() is a short reason without the file name.
class BmpFormatError : public Error {
 public:
  explicit BmpFormatError(const std::string& message)
      : Error(message, {.kind = FailureKind::Refused}) {}
};

enum class BmpCompression { None, Rle8, Rle4, BitFields };

// What the headers of a BMP file say, checked against the file's length: everything the pixel
// decoder needs lies inside the file.
struct BmpHeader {
  std::int32_t width = 0;
  std::int32_t height = 0;  // always positive; topDown tells the row order
  bool topDown = false;
  unsigned bitsPerPixel = 0;  // 1, 4, 8, 16, 24 or 32
  BmpCompression compression = BmpCompression::None;
  // The palette (1, 4 and 8 bits): `colours` entries of `paletteEntryBytes` (3 in the old
  // OS/2 header, 4 otherwise) at `paletteOffset`, blue first.
  std::size_t paletteOffset = 0;
  unsigned paletteEntryBytes = 4;
  unsigned colours = 0;
  // Red, green, blue masks of 16- and 32-bit pixels.
  std::array<std::uint32_t, 3> masks{};
  // Where the pixel rows (or the run-length data) start, and how many bytes they may use.
  std::size_t dataOffset = 0;
  std::size_t dataBytes = 0;

  // Bytes of one uncompressed row: padded to a multiple of four.
  std::size_t stride() const {
    return (static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32 * 4;
  }
  std::uint64_t dots() const {
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  }
};

// Reads the file header and the info header (the 12-byte OS/2 1.x header or a Windows header
// of 40 bytes or more), the colour masks and finds the palette and the pixel data. Throws
// BmpFormatError when the file is not a BMP of a kind decoded here, or ends before its palette or
// before the pixel rows its headers announce (a short file must not become an image whose
// missing rows print as a black block). Never reads outside `file`.
BmpHeader readBmpHeader(std::string_view file);

}  // namespace plenar
