// SPDX-License-Identifier: GPL-3.0-or-later
#include "BmpWriter.h"

#include <QFile>
#include <QList>
#include <cstdint>

namespace plenar::test {

namespace {

void le16(QByteArray& out, std::uint16_t v) {
  out.append(static_cast<char>(v & 0xFF));
  out.append(static_cast<char>(v >> 8));
}

void le32(QByteArray& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool save32(const QImage& image, const std::string& path) {
  QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  const std::uint32_t rowBytes = static_cast<std::uint32_t>(rgb.width()) * 4;
  const std::uint32_t pixelBytes = rowBytes * static_cast<std::uint32_t>(rgb.height());
  QByteArray out;
  out.append("BM");
  le32(out, 54 + pixelBytes);
  le32(out, 0);
  le32(out, 54);
  le32(out, 40);
  le32(out, static_cast<std::uint32_t>(rgb.width()));
  le32(out, static_cast<std::uint32_t>(rgb.height()));
  le16(out, 1);
  le16(out, 32);
  le32(out, 0);  // BI_RGB
  le32(out, pixelBytes);
  le32(out, 2835);
  le32(out, 2835);
  le32(out, 0);
  le32(out, 0);
  for (int y = rgb.height() - 1; y >= 0; --y) {
    for (int x = 0; x < rgb.width(); ++x) {
      QRgb p = rgb.pixel(x, y);
      out.append(static_cast<char>(qBlue(p)));
      out.append(static_cast<char>(qGreen(p)));
      out.append(static_cast<char>(qRed(p)));
      out.append(static_cast<char>(0));
    }
  }
  QFile f(QString::fromStdString(path));
  return f.open(QIODevice::WriteOnly) && f.write(out) == out.size();
}

QImage greyIndexed(const QImage& image, int colours) {
  QList<QRgb> table;
  for (int i = 0; i < colours; ++i) {
    int g = i * 255 / (colours - 1);
    table.append(qRgb(g, g, g));
  }
  QImage out(image.size(), QImage::Format_Indexed8);
  out.setColorTable(table);
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      int g = qGray(image.pixel(x, y));
      out.setPixel(x, y, static_cast<uint>((g * (colours - 1) + 127) / 255));
    }
  }
  return out;
}

}  // namespace

bool saveBmp(const QImage& image, const std::string& path, int bitsPerPixel) {
  const QString name = QString::fromStdString(path);
  switch (bitsPerPixel) {
    case 1: {
      QImage mono(image.size(), QImage::Format_Mono);
      mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
          mono.setPixel(x, y, (image.pixel(x, y) & 0xFFFFFF) == 0 ? 0 : 1);
        }
      }
      return mono.save(name, "BMP");
    }
    case 4:
      return greyIndexed(image, 16).save(name, "BMP");  // Qt writes 4 bits for <= 16 colours
    case 8:
      return greyIndexed(image, 256).save(name, "BMP");
    case 24:
      return image.convertToFormat(QImage::Format_RGB888).save(name, "BMP");
    case 32:
      return save32(image, path);
    default:
      return false;
  }
}

QImage solidImage(int w, int h, QRgb colour) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

}  // namespace plenar::test
