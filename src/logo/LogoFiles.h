// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/CommandRequest.h"
#include "logo/LogoImage.h"

namespace plenar {

// The two files the NV-LOGO buttons build from the logo list, and the requests that send them.
//
// 1.bin, downloaded with framed blocks to 0x1CF000: a 4096-byte directory of 8-byte entries
// (raster address LE32, wb LE16, hb LE16; zero after the last image), then the rasters in row
// layout from 0x1D0000 on, without gaps.
// 2.bin, sent raw: the NV bit image command 1C 71 n, then per image xL xH yL yH (x = wb, y = hb)
// and its raster in column layout.
//
// Missing files are skipped; a file that is not a readable BMP stops the build (LogoError).
// Threads: building is a plain function of the files; preparing a download replaces 1.bin or
// 2.bin, so one thread at a time prepares.

inline constexpr std::uint32_t kLogoDirectoryAddress = 0x1CF000;
inline constexpr std::uint32_t kLogoRasterAddress = 0x1D0000;
inline constexpr std::size_t kLogoDirectorySize = 4096;
inline constexpr std::size_t kLogoDirectoryEntries = kLogoDirectorySize / 8;  // 512
inline constexpr std::size_t kNvLogoMaxImages = 255;       // the count byte of 1C 71
inline constexpr std::size_t kLogoFileLimit = 256 * 1024;  // larger files are not sent
// Building stops (with the too-large text, nothing saved) once a file would pass this: a file
// somewhat above kLogoFileLimit is still saved for inspection, one of gigabytes is not built.
inline constexpr std::size_t kLogoBuildLimit = 4u << 20;

struct LogoFile {
  std::vector<std::uint8_t> bytes;
  int imagesWritten = 0;  // listed files that existed and were converted
};

// More images than the directory or the count byte can describe are refused (LogoError) before
// any file is written, as is a file that would pass kLogoBuildLimit. A file listed more than
// once is read and decoded once.
LogoFile buildFramedLogoFile(const std::vector<std::string>& bmpPaths);
LogoFile buildNvLogoFile(const std::vector<std::string>& bmpPaths);

// 1.bin or 2.bin could not be saved: an output that cannot be created.
class LogoSaveError : public LogoError {
 public:
  using LogoError::LogoError;
};

// The window's download buttons: build the file, save it as 1.bin or 2.bin in `programDir`
// (replacing it), refuse a file above 262144 bytes with the sDnLogFileMsg text (the file stays
// on disk), and return the request of code 7 or 46. nullopt for an empty list. A list in which no
// image could be written (every file missing) is refused with nothingToDownloadText() before any
// file is saved. LogoError carries the message for the user in every refusal; nothing has been
// sent by then. 1.bin and 2.bin are private files of the program's folder (savePrivateFile):
// a link or another user's file in their place is refused (LogoSaveError), never written
// through.
std::optional<CommandRequest> prepareLogoDownload(const std::vector<std::string>& bmpPaths,
                                                  const std::string& programDir);
std::optional<CommandRequest> prepareRawLogoDownload(const std::vector<std::string>& bmpPaths,
                                                     const std::string& programDir);

std::string nothingToDownloadText();
// The sDnLogFileMsg text with the limit in kilobytes (256) in place of its %d.
std::string logoTooLargeText();

}  // namespace plenar
