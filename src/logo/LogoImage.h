// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "shared/Errors.h"

namespace plenar {

// A logo file that cannot become a printer raster; what() is the text shown to the user.
class LogoError : public Error {
 public:
  explicit LogoError(const std::string& message)
      : Error(message, {.kind = FailureKind::Refused}) {}
};

// The largest BMP file read: 2M dots (the 256 KiB logo file) at 32 bits per pixel are 8 MiB, so
// no image that could be stored comes near it.
inline constexpr std::size_t kMaxBmpFileBytes = 16u << 20;
// Images beyond 16 M dots (a 2 MiB raster, 8 times the logo memory) are not decoded at all: a
// run-length BMP of a kilobyte can announce that many, and decoding and thresholding them took
// seconds.
inline constexpr std::uint64_t kMaxLogoDots = std::uint64_t{16} << 20;

// One BMP image as the printer's 1-bit dots. The raster is padded to whole bytes in both
// directions: wb = ceil(W / 8) bytes per row, hb = ceil(H / 8) bands of 8 rows; padding dots are
// never printed.
// Threads: a plain value; loading and decoding may run on any thread.
class LogoImage {
 public:
  LogoImage(int width, int height);

  // Loads a BMP of any depth (1, 4, 8, 16, 24, 32 bits, run-length 4 and 8 bits, either row
  // order). Dark pixels become dots, light ones do not (bmpDots says exactly which). nullopt
  // when the file does not exist; LogoError when it exists but is not a readable BMP, ends
  // before its pixel data, is not a regular file or is larger than kMaxBmpFileBytes.
  // `maxSideBytes`: an image with more bytes per row (wb) or more bands (hb) is refused, with
  // the same "BMP image too large" text, before its dots are decoded.
  static std::optional<LogoImage> load(const std::string& path,
                                       std::uint32_t maxSideBytes = kAnySide);
  // The same for the bytes of a file; `path` only names it in messages.
  static LogoImage decode(std::string_view bytes, const std::string& path,
                          std::uint32_t maxSideBytes = kAnySide);
  static constexpr std::uint32_t kAnySide = UINT32_MAX;

  int width() const { return width_; }
  int height() const { return height_; }
  std::uint32_t widthBytes() const { return (static_cast<std::uint32_t>(width_) + 7) / 8; }
  std::uint32_t heightBands() const { return (static_cast<std::uint32_t>(height_) + 7) / 8; }
  // wb x hb x 8 bytes, the same in both layouts.
  std::size_t rasterSize() const { return std::size_t{widthBytes()} * heightBands() * 8; }

  bool dot(int x, int y) const { return dots_[static_cast<std::size_t>(y) * width_ + x] != 0; }
  void setDot(int x, int y, bool on) {
    dots_[static_cast<std::size_t>(y) * width_ + x] = on ? 1 : 0;
  }

  // Row by row from the top (hb x 8 rows), wb bytes per row, bit 7 the leftmost dot.
  std::vector<std::uint8_t> rowRaster() const;
  // Column by column from the left (wb x 8 columns), hb bytes per column from the top band,
  // bit 7 the top dot of its band: the layout of the NV bit image command 1C 71.
  std::vector<std::uint8_t> columnRaster() const;

 private:
  LogoImage(int width, int height, std::vector<std::uint8_t> dots)
      : width_(width), height_(height), dots_(std::move(dots)) {}

  int width_;
  int height_;
  std::vector<std::uint8_t> dots_;  // one per pixel, row by row
};

}  // namespace plenar
