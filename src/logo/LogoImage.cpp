// SPDX-License-Identifier: GPL-3.0-or-later
#include "logo/LogoImage.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include "logo/BmpHeader.h"
#include "platform/SafeFiles.h"

namespace plenar {

LogoImage::LogoImage(int width, int height)
    : width_(width < 0 ? 0 : width),
      height_(height < 0 ? 0 : height),
      dots_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0) {}

std::optional<LogoImage> LogoImage::load(const std::string& path) {
  const QString name = QString::fromStdString(path);
  QFileInfo info(name);
  if (!info.exists() || info.isDir()) return std::nullopt;

  // Read here, not by Qt: a FIFO or a device named as an image would block or never end.
  std::string bytes;
  try {
    bytes = readInputFile(path, kMaxBmpFileBytes);
  } catch (const InputFileError& e) {
    if (e.kind() == InputFileError::Kind::Missing) return std::nullopt;
    throw LogoError(e.what());
  }
  return decode(bytes, path);
}

LogoImage LogoImage::decode(std::string_view bytes, const std::string& path) {
  if (auto reason = bmpTruncation(bytes)) {
    throw LogoError("Bitmap image is not valid: " + path + " (" + *reason + ")");
  }
  const QByteArray data =
      QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer;
  buffer.setData(data);
  buffer.open(QIODevice::ReadOnly);
  // Only the BMP decoder is asked: a PNG or a text file renamed to .bmp is not a logo.
  QImageReader reader(&buffer, "bmp");
  reader.setAutoDetectImageFormat(false);
  // A header may announce any size in a few bytes (run-length data); an image many times
  // larger than the logo memory is refused before it is decoded.
  const QSize size = reader.size();
  if (size.isValid() && std::uint64_t(size.width()) * std::uint64_t(size.height()) > kMaxLogoDots) {
    throw LogoError("BMP image too large: " + path);
  }
  QImage image = reader.read();
  if (image.isNull()) {
    throw LogoError("Bitmap image is not valid: " + path + " (" +
                    reader.errorString().toStdString() + ")");
  }
  // 1-bit images keep their own two colours; any other depth is reduced by a plain threshold,
  // so that dark colours become black and light ones white.
  QImage mono = image.format() == QImage::Format_Mono
                    ? image
                    : image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
  if (mono.isNull()) throw LogoError("Bitmap image is not valid: " + path);

  const QList<QRgb> colours = mono.colorTable();
  bool black[2] = {false, false};
  for (int i = 0; i < 2 && i < colours.size(); ++i) black[i] = (colours[i] & 0xFFFFFFu) == 0;

  LogoImage logo(mono.width(), mono.height());
  for (int y = 0; y < logo.height_; ++y) {
    const uchar* line = mono.constScanLine(y);
    for (int x = 0; x < logo.width_; ++x) {
      int index = (line[x >> 3] >> (7 - (x & 7))) & 1;  // Format_Mono: bit 7 is the leftmost
      logo.setDot(x, y, black[index]);
    }
  }
  return logo;
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
