// SPDX-License-Identifier: GPL-3.0-or-later
// A BMP as the user picks it: decoding gives an image or LogoError, never a crash, a read
// outside the file or an image the size of the memory; a decoded image gives rasters of
// wb x hb x 8 bytes in both layouts, and the two logo files build from it.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "ScratchFolder.h"
#include "logo/BmpHeader.h"
#include "logo/LogoFiles.h"
#include "logo/LogoImage.h"

namespace {
constexpr std::uint64_t kMaxFuzzedDots = std::uint64_t{1} << 16;
constexpr std::uint64_t kMaxFileLine = 0xFFFF * 8;  // dots in 65535 bytes or bands
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    // A run-length BMP of a few bytes may announce up to the decoder's limit of 16 M dots,
    // which takes seconds to decode under the sanitizers. Images up to 64 K dots go through
    // every path of the decoder, those above the limit through its refusal, and lines too long
    // for the logo files' 16-bit size fields (a row or two) through theirs.
    const plenar::BmpHeader header = plenar::readBmpHeader(bytes);
    const bool tooLongForFiles = (std::uint64_t(header.width) > kMaxFileLine ||
                                  std::uint64_t(header.height) > kMaxFileLine) &&
                                 header.dots() <= 2 * kMaxFileLine;
    if (header.dots() > kMaxFuzzedDots && header.dots() <= plenar::kMaxLogoDots &&
        !tooLongForFiles) {
      return 0;
    }
  } catch (const plenar::BmpFormatError&) {
  }
  try {
    plenar::LogoImage image = plenar::LogoImage::decode(bytes, "fuzz.bmp");
    if (image.rowRaster().size() != image.rasterSize()) std::abort();
    if (image.columnRaster().size() != image.rasterSize()) std::abort();
  } catch (const plenar::LogoError&) {
    return 0;
  }
  // The files are built from paths, as the window does.
  static const std::string path = [] {
    std::atexit([] { ::unlink(path.c_str()); });
    return plenar::fuzz::scratchFolder() + "/plenar-fuzz-logo-" + std::to_string(::getpid()) +
           ".bmp";
  }();
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
  try {
    plenar::LogoFile framed = plenar::buildFramedLogoFile({path, path});
    plenar::LogoFile nv = plenar::buildNvLogoFile({path});
    if (framed.imagesWritten != 2 || nv.imagesWritten != 1) std::abort();
  } catch (const plenar::LogoError&) {
    // an image too large for the printer's 16-bit size fields
  }
  return 0;
}
