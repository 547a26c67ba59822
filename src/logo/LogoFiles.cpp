// SPDX-License-Identifier: GPL-3.0-or-later
#include "logo/LogoFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <string_view>

#include "logo/LogoImage.h"
#include "platform/ProgramPaths.h"
#include "platform/SafeFiles.h"
#include "requests/FileActions.h"
#include "shared/Frame.h"
#include "shared/SharedTexts.h"

namespace plenar {

namespace {

// Neither limit has a language key; the texts follow sDnLogFileMsg.
std::string tooManyImagesText(std::size_t limit) {
  return "BMP 图像不能超过" + std::to_string(limit) + "个 (at most " + std::to_string(limit) +
         " images)";
}

// A list whose files are all missing would otherwise send an empty directory (erasing the
// printer's logo table) or a 1C 71 with no image.
void checkSomethingWritten(const LogoFile& file) {
  if (file.imagesWritten == 0) throw LogoError(nothingToDownloadText());
}

void checkImageCount(std::size_t written, std::size_t limit) {
  if (written > limit) throw LogoError(tooManyImagesText(limit));
}

void appendLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// The printer's size fields are 16 bits wide; an image that needs more could never be stored.
std::uint16_t sizeField(std::uint32_t value, const std::string& path) {
  if (value > 0xFFFF) throw LogoError("BMP image too large: " + path);
  return static_cast<std::uint16_t>(value);
}

void saveLogoFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::string_view view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  // Beside debug.log in the program's own folder: a link or another user's file put there is
  // refused, never written through.
  if (!savePrivateFile(path, view)) {
    throw LogoSaveError("Cannot create file \"" + path + "\". " + saveErrorText(errno));
  }
}

}  // namespace

std::string nothingToDownloadText() {
  return "BMP: nothing to download (none of the listed files exists)";
}

std::string logoTooLargeText() {
  // The language file may hold any text here: only its first %d is filled, never passed to a
  // formatting function.
  std::string message = text(TextId::LogoFileTooLarge);
  auto at = message.find("%d");
  if (at != std::string::npos) message.replace(at, 2, std::to_string(kLogoFileLimit / 1024));
  return message;
}

namespace {

// A file listed again is neither read nor decoded again: its bytes are copied from where they
// first went into the file being built. nullopt for a missing file.
class ImageOnce {
 public:
  struct Image {
    std::uint16_t widthBytes = 0;
    std::uint16_t heightBands = 0;
    std::size_t offset = 0;  // of its bytes in the file being built
    std::size_t size = 0;
  };
  // `place(image)` appends the image's bytes to `out` and returns their size.
  template <typename Place>
  std::optional<Image> add(const std::string& path, std::vector<std::uint8_t>& out, Place place) {
    if (auto seen = seen_.find(path); seen != seen_.end()) {
      if (!seen->second) return std::nullopt;
      const Image image = *seen->second;
      checkBudget(out.size() + image.size);
      const std::size_t end = out.size();
      out.resize(end + image.size);
      std::copy_n(out.begin() + static_cast<std::ptrdiff_t>(image.offset), image.size,
                  out.begin() + static_cast<std::ptrdiff_t>(end));
      return image;
    }
    // An image the size fields cannot describe is refused before its dots are decoded: a row
    // of half a million dots decodes for nothing.
    std::optional<LogoImage> decoded = LogoImage::load(path, 0xFFFF);
    if (!decoded) {
      seen_[path] = std::nullopt;
      return std::nullopt;
    }
    Image image;
    image.widthBytes = sizeField(decoded->widthBytes(), path);
    image.heightBands = sizeField(decoded->heightBands(), path);
    checkBudget(out.size() + decoded->rasterSize());
    image.offset = out.size();
    image.size = place(*decoded);
    seen_[path] = image;
    return image;
  }

 private:
  // The file may outgrow what the printer takes (it is then saved for inspection and refused),
  // but not without bound: a list naming one large image many times would take gigabytes.
  static void checkBudget(std::size_t bytes) {
    if (bytes > kLogoBuildLimit) throw LogoError(logoTooLargeText());
  }
  std::map<std::string, std::optional<Image>> seen_;
};

}  // namespace

LogoFile buildFramedLogoFile(const std::vector<std::string>& bmpPaths) {
  LogoFile file;
  file.bytes.assign(kLogoDirectorySize, 0);
  std::uint32_t rasterAddress = kLogoRasterAddress;
  ImageOnce images;
  for (const std::string& path : bmpPaths) {
    auto image = images.add(path, file.bytes, [&](const LogoImage& decoded) {
      std::vector<std::uint8_t> raster = decoded.rowRaster();
      file.bytes.insert(file.bytes.end(), raster.begin(), raster.end());
      return raster.size();
    });
    if (!image) continue;
    checkImageCount(static_cast<std::size_t>(file.imagesWritten) + 1, kLogoDirectoryEntries);
    std::uint8_t* entry = file.bytes.data() + 8 * static_cast<std::size_t>(file.imagesWritten);
    putLe32(entry, rasterAddress);
    putLe16(entry + 4, image->widthBytes);
    putLe16(entry + 6, image->heightBands);
    rasterAddress += static_cast<std::uint32_t>(image->size);
    ++file.imagesWritten;
  }
  return file;
}

LogoFile buildNvLogoFile(const std::vector<std::string>& bmpPaths) {
  LogoFile file;
  file.bytes = {0x1C, 0x71, 0};
  ImageOnce images;
  for (const std::string& path : bmpPaths) {
    // The image's bytes here are its size fields and its raster.
    auto image = images.add(path, file.bytes, [&](const LogoImage& decoded) {
      appendLe16(file.bytes, static_cast<std::uint16_t>(decoded.widthBytes()));
      appendLe16(file.bytes, static_cast<std::uint16_t>(decoded.heightBands()));
      std::vector<std::uint8_t> raster = decoded.columnRaster();
      file.bytes.insert(file.bytes.end(), raster.begin(), raster.end());
      return raster.size() + 4;
    });
    if (!image) continue;
    checkImageCount(static_cast<std::size_t>(file.imagesWritten) + 1, kNvLogoMaxImages);
    ++file.imagesWritten;
  }
  // The printer stores as many images as the count byte says and reads their sizes in turn, so
  // it counts only the images written, not the list entries.
  file.bytes[2] = static_cast<std::uint8_t>(file.imagesWritten);
  return file;
}

std::optional<CommandRequest> prepareLogoDownload(const std::vector<std::string>& bmpPaths,
                                                  const std::string& programDir) {
  if (bmpPaths.empty()) return std::nullopt;
  LogoFile file = buildFramedLogoFile(bmpPaths);
  checkSomethingWritten(file);
  const std::string path = pathIn(programDir, "1.bin");
  saveLogoFile(path, file.bytes);
  if (file.bytes.size() > kLogoFileLimit) throw LogoError(logoTooLargeText());
  return logoDownloadRequest(path);
}

std::optional<CommandRequest> prepareRawLogoDownload(const std::vector<std::string>& bmpPaths,
                                                     const std::string& programDir) {
  if (bmpPaths.empty()) return std::nullopt;
  LogoFile file = buildNvLogoFile(bmpPaths);
  checkSomethingWritten(file);
  const std::string path = pathIn(programDir, "2.bin");
  saveLogoFile(path, file.bytes);
  if (file.bytes.size() > kLogoFileLimit) throw LogoError(logoTooLargeText());
  return rawLogoRequest(path);
}

}  // namespace plenar
