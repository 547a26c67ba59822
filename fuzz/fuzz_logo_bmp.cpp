// SPDX-License-Identifier: GPL-3.0-or-later
// A BMP as the user picks it: decoding gives an image or LogoError, never a crash, a read
// outside the file or an image the size of the memory; a decoded image gives rasters of
// wb x hb x 8 bytes in both layouts, and the two logo files build from it.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ScratchFolder.h"
#include "logo/BmpHeader.h"
#include "logo/LogoFiles.h"
#include "logo/LogoImage.h"

namespace {
// Every path of the decoder is reached with small images: the cost of a run grows with its dots
// (each is a few compares the fuzzer traces), three decodes of 64 K dots held a run to a few
// thousand per second, and none of the decoder's branches depends on a size beyond a few rows.
constexpr std::uint64_t kMaxFuzzedDots = std::uint64_t{1} << 12;
constexpr std::uint64_t kMaxFileLine = 0xFFFF * 8;  // dots in 65535 bytes or bands
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // A header the reader refuses is refused by the decoder, which reads it first, as LogoError
  // (the unit tests hold the text); unwinding it twice would only double the run's cost.
  plenar::BmpHeader header;
  try {
    header = plenar::readBmpHeader(bytes);
  } catch (const plenar::BmpFormatError&) {
    return 0;
  }
  // A run-length BMP of a few bytes may announce up to the decoder's limit of 16 M dots. Those
  // above the limit go through its refusal, lines too long for the logo files' 16-bit size
  // fields through the files' refusal, which comes before decoding; the rest only when small.
  const bool tooLongForFiles =
      std::uint64_t(header.width) > kMaxFileLine || std::uint64_t(header.height) > kMaxFileLine;
  const bool aboveLimit = header.dots() > plenar::kMaxLogoDots;
  if (header.dots() > kMaxFuzzedDots && !aboveLimit && !tooLongForFiles) return 0;
  if (!tooLongForFiles) {
    try {
      plenar::LogoImage image = plenar::LogoImage::decode(bytes, "fuzz.bmp");
      if (aboveLimit) std::abort();
      if (image.rowRaster().size() != image.rasterSize()) std::abort();
      if (image.columnRaster().size() != image.rasterSize()) std::abort();
    } catch (const plenar::LogoError&) {
      return 0;
    }
  }
  // The files are built from paths, as the window does.
  static const std::string& path = plenar::fuzz::scratchPath("logo", ".bmp");
  plenar::fuzz::writeInput(path, data, size);
  try {
    plenar::LogoFile framed = plenar::buildFramedLogoFile({path, path});
    plenar::LogoFile nv = plenar::buildNvLogoFile({path});
    if (tooLongForFiles || framed.imagesWritten != 2 || nv.imagesWritten != 1) std::abort();
  } catch (const plenar::LogoError&) {
    // an image too large for the printer's 16-bit size fields
  }
  return 0;
}
