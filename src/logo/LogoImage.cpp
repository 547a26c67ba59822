// SPDX-License-Identifier: GPL-3.0-or-later
#include "logo/LogoImage.h"

#include <sys/stat.h>

#include "logo/BmpDots.h"
#include "logo/BmpHeader.h"
#include "platform/SafeFiles.h"

namespace plenar {

LogoImage::LogoImage(int width, int height)
    : width_(width < 0 ? 0 : width),
      height_(height < 0 ? 0 : height),
      dots_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0) {}

std::optional<LogoImage> LogoImage::load(const std::string& path, std::uint32_t maxSideBytes) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;

  // A FIFO or a device named as an image would block or never end: readInputFile refuses them.
  std::string bytes;
  try {
    bytes = readInputFile(path, kMaxBmpFileBytes);
  } catch (const InputFileError& e) {
    if (e.problem() == InputFileError::Kind::Missing) return std::nullopt;
    throw LogoError(e.what());
  }
  return decode(bytes, path, maxSideBytes);
}

LogoImage LogoImage::decode(std::string_view bytes, const std::string& path,
                            std::uint32_t maxSideBytes) {
  BmpHeader header;
  try {
    header = readBmpHeader(bytes);
  } catch (const BmpFormatError& e) {
    throw LogoError("Bitmap image is not valid: " + path + " (" + e.what() + ")");
  }
  // A header may announce any size in a few bytes (run-length data); an image many times
  // larger than the logo memory is refused before it is decoded, whichever its row order.
  if (header.dots() > kMaxLogoDots) throw LogoError("BMP image too large: " + path);
  const auto sideBytes = [](std::int32_t dots) {
    return (static_cast<std::uint32_t>(dots) + 7) / 8;
  };
  if (sideBytes(header.width) > maxSideBytes || sideBytes(header.height) > maxSideBytes) {
    throw LogoError("BMP image too large: " + path);
  }
  return LogoImage(header.width, header.height, bmpDots(bytes, header));
}

std::vector<std::uint8_t> LogoImage::rowRaster() const {
  const std::uint32_t wb = widthBytes();
  std::vector<std::uint8_t> out(rasterSize(), 0);
  for (int y = 0; y < height_; ++y) {
    std::uint8_t* row = out.data() + static_cast<std::size_t>(y) * wb;
    for (int x = 0; x < width_; ++x) {
      if (dot(x, y)) row[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
    }
  }
  return out;
}

std::vector<std::uint8_t> LogoImage::columnRaster() const {
  const std::uint32_t hb = heightBands();
  std::vector<std::uint8_t> out(rasterSize(), 0);
  for (int x = 0; x < width_; ++x) {
    std::uint8_t* column = out.data() + static_cast<std::size_t>(x) * hb;
    for (int y = 0; y < height_; ++y) {
      if (dot(x, y)) column[y >> 3] |= static_cast<std::uint8_t>(0x80 >> (y & 7));
    }
  }
  return out;
}

}  // namespace plenar
