// SPDX-License-Identifier: GPL-3.0-or-later
// The BMP decoder against the one the logos went through before it: Qt's BMP reader, Qt's
// conversion to 1 bit with threshold dithering and the 1-bit image's own two colours. Generated
// files of every depth, header, row order, palette order and size edge must give the same dots.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "logo/LogoImage.h"

namespace plenar {
namespace {

struct Dots {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> dots;
  bool operator==(const Dots&) const = default;
};

// The decoding the logos had before: Qt's reader, then its threshold conversion to 1 bit.
std::optional<Dots> qtDots(const std::string& bytes) {
  QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "bmp");
  reader.setAutoDetectImageFormat(false);
  QImage image = reader.read();
  if (image.isNull()) return std::nullopt;
  QImage mono = image.format() == QImage::Format_Mono
                    ? image
                    : image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
  const QList<QRgb> colours = mono.colorTable();
  bool black[2] = {false, false};
  for (int i = 0; i < 2 && i < colours.size(); ++i) black[i] = (colours[i] & 0xFFFFFFu) == 0;
  Dots out{mono.width(), mono.height(), {}};
  for (int y = 0; y < mono.height(); ++y) {
    const uchar* line = mono.constScanLine(y);
    for (int x = 0; x < mono.width(); ++x) {
      out.dots.push_back(black[(line[x >> 3] >> (7 - (x & 7))) & 1]);
    }
  }
  return out;
}

std::optional<Dots> ourDots(const std::string& bytes) {
  try {
    LogoImage logo = LogoImage::decode(bytes, "parity.bmp");
    Dots out{logo.width(), logo.height(), {}};
    for (int y = 0; y < logo.height(); ++y) {
      for (int x = 0; x < logo.width(); ++x) out.dots.push_back(logo.dot(x, y));
    }
    return out;
  } catch (const LogoError&) {
    return std::nullopt;
  }
}

// One generated file: what its headers say and how its pixels are drawn.
struct Shape {
  std::string name;
  std::uint32_t headerSize;  // 12, 40, 108 or 124
  int bits;
  std::uint32_t compression = 0;            // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
  std::vector<std::uint32_t> palette = {};  // 0xRRGGBB; empty for 16, 24, 32 bits
  std::vector<std::uint32_t> masks = {};    // bit fields
  bool declareColours = false;              // write the palette size into the header
};

void put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// Run-length data of rows of palette indices (bottom row first): runs of equal pixels and
// stretches stored as they are, an end of line after each row and an end of bitmap.
std::string runLength(const std::vector<std::vector<int>>& rows, bool fourBits) {
  std::string out;
  for (const auto& row : rows) {
    std::size_t x = 0;
    while (x < row.size()) {
      std::size_t run = 1;
      while (x + run < row.size() && run < 255 && row[x + run] == row[x]) ++run;
      const std::size_t left = row.size() - x;
      if (run >= 3 || left < 3) {
        out += static_cast<char>(run);
        out += static_cast<char>(fourBits ? (row[x] << 4 | row[x]) : row[x]);
        x += run;
        continue;
      }
      const std::size_t n = std::min<std::size_t>(left, 3 + (x % 7));  // a stored stretch
      out += '\0';
      out += static_cast<char>(n);
      std::string bytes;
      for (std::size_t i = 0; i < n; ++i) {
        if (!fourBits) {
          bytes += static_cast<char>(row[x + i]);
        } else if (i % 2 == 0) {
          bytes += static_cast<char>(row[x + i] << 4);
        } else {
          bytes.back() = static_cast<char>(bytes.back() | row[x + i]);
        }
      }
      if (bytes.size() % 2) bytes += '\0';
      out += bytes;
      x += n;
    }
    out += std::string("\0\0", 2);
  }
  out += std::string("\0\1", 2);
  return out;
}

std::string makeBmp(const Shape& s, int width, int height, bool topDown, std::mt19937& random) {
  const bool core = s.headerSize == 12;
  const int rows = height;
  // Pixel values: palette indices, or raw pixel bits for 16, 24 and 32 bits.
  std::vector<std::vector<int>> indices(rows, std::vector<int>(width));
  std::vector<std::vector<std::uint32_t>> raw(rows, std::vector<std::uint32_t>(width));
  for (int r = 0; r < rows; ++r) {
    // Some rows in long runs, so that run-length files have runs.
    const bool flat = r % 3 == 1;
    for (int x = 0; x < width; ++x) {
      const bool repeat = flat && x > 0 && random() % 4 != 0;
      if (!s.palette.empty()) {
        indices[r][x] = repeat ? indices[r][x - 1] : static_cast<int>(random() % s.palette.size());
      } else {
        raw[r][x] = repeat ? raw[r][x - 1] : static_cast<std::uint32_t>(random());
      }
    }
  }

  std::string pixels;
  if (s.compression == 1 || s.compression == 2) {
    pixels = runLength(indices, s.compression == 2);
  } else {
    const std::size_t stride = (static_cast<std::size_t>(width) * s.bits + 31) / 32 * 4;
    for (int r = 0; r < rows; ++r) {
      std::string row(stride, '\0');
      for (int x = 0; x < width; ++x) {
        if (s.bits <= 8) {
          const int perByte = 8 / s.bits;
          const int shift = 8 - s.bits * (x % perByte + 1);
          row[x / perByte] = static_cast<char>(row[x / perByte] | indices[r][x] << shift);
        } else {
          for (int b = 0; b < s.bits / 8; ++b) {
            row[x * (s.bits / 8) + b] = static_cast<char>(raw[r][x] >> (8 * b));
          }
        }
      }
      // Padding bytes hold noise: they must not matter.
      for (std::size_t i = (static_cast<std::size_t>(width) * s.bits + 7) / 8; i < stride; ++i) {
        row[i] = static_cast<char>(random());
      }
      pixels += row;
    }
  }

  std::string info;
  put32(info, s.headerSize);
  if (core) {
    put16(info, static_cast<std::uint32_t>(width));
    put16(info, static_cast<std::uint32_t>(topDown ? -height : height));
    put16(info, 1);
    put16(info, static_cast<std::uint32_t>(s.bits));
  } else {
    put32(info, static_cast<std::uint32_t>(width));
    put32(info, static_cast<std::uint32_t>(topDown ? -height : height));
    put16(info, 1);
    put16(info, static_cast<std::uint32_t>(s.bits));
    put32(info, s.compression);
    put32(info, static_cast<std::uint32_t>(pixels.size()));
    put32(info, 2835);
    put32(info, 2835);
    put32(info, s.declareColours ? static_cast<std::uint32_t>(s.palette.size()) : 0);
    put32(info, 0);
    if (s.headerSize >= 108) {
      for (int i = 0; i < 3; ++i) put32(info, s.masks.empty() ? 0 : s.masks[i]);
      put32(info, 0);                      // alpha mask
      put32(info, 0x73524742);             // sRGB
      info += std::string(36 + 12, '\0');  // end points, gamma
      if (s.headerSize == 124) info += std::string(16, '\0');
    }
  }
  if (s.headerSize < 108 && s.compression == 3) {
    for (std::uint32_t m : s.masks) put32(info, m);
  }
  for (std::uint32_t c : s.palette) {
    info += static_cast<char>(c & 0xFF);
    info += static_cast<char>((c >> 8) & 0xFF);
    info += static_cast<char>((c >> 16) & 0xFF);
    if (!core) info += '\0';
  }
  std::string file = "BM";
  put32(file, static_cast<std::uint32_t>(14 + info.size() + pixels.size()));
  put32(file, 0);
  put32(file, static_cast<std::uint32_t>(14 + info.size()));
  return file + info + pixels;
}

std::vector<std::uint32_t> greys(int n, bool descending) {
  std::vector<std::uint32_t> out;
  for (int i = 0; i < n; ++i) {
    const std::uint32_t g =
        static_cast<std::uint32_t>((descending ? n - 1 - i : i) * 255 / (n - 1));
    out.push_back(g << 16 | g << 8 | g);
  }
  return out;
}

// Colours around the grey threshold: which side of 128 each lands on decides its dot.
std::vector<std::uint32_t> colours(int n, std::mt19937& random) {
  std::vector<std::uint32_t> out;
  for (int i = 0; i < n; ++i) {
    const std::uint32_t r = random() % 256, g = 100 + random() % 60, b = random() % 256;
    out.push_back(r << 16 | g << 8 | b);
  }
  return out;
}

TEST(BmpParity, EveryGeneratedImageGivesTheDotsQtGave) {
  std::mt19937 random(2026);
  const std::vector<Shape> shapes = {
      {"1 bit black first", 40, 1, 0, {0x000000, 0xFFFFFF}},
      {"1 bit white first", 40, 1, 0, {0xFFFFFF, 0x000000}},
      {"1 bit dark grey and white", 40, 1, 0, {0x101010, 0xFFFFFF}},
      {"1 bit near black, black", 40, 1, 0, {0x000001, 0x000000}},
      {"1 bit both black", 40, 1, 0, {0x000000, 0x000000}},
      {"1 bit OS/2", 12, 1, 0, {0xFFFFFF, 0x000000}},
      {"1 bit V5", 124, 1, 0, {0x000000, 0xFFFFFF}},
      {"4 bits grey up", 40, 4, 0, greys(16, false)},
      {"4 bits grey down", 40, 4, 0, greys(16, true)},
      {"4 bits five colours", 40, 4, 0, colours(5, random), {}, true},
      {"4 bits OS/2", 12, 4, 0, colours(16, random)},
      {"4 bits run-length", 40, 4, 2, colours(16, random), {}, true},
      {"4 bits run-length three colours", 40, 4, 2, greys(3, true), {}, true},
      {"8 bits grey up", 40, 8, 0, greys(256, false)},
      {"8 bits grey down", 108, 8, 0, greys(256, true)},
      {"8 bits 40 colours", 40, 8, 0, colours(40, random), {}, true},
      {"8 bits OS/2", 12, 8, 0, colours(256, random)},
      {"8 bits run-length", 40, 8, 1, colours(200, random), {}, true},
      {"16 bits 555", 40, 16},
      {"16 bits 565 fields", 40, 16, 3, {}, {0xF800, 0x07E0, 0x001F}},
      {"16 bits 444 fields V4", 108, 16, 3, {}, {0x0F00, 0x00F0, 0x000F}},
      {"24 bits", 40, 24},
      {"24 bits OS/2", 12, 24},
      {"24 bits V5", 124, 24},
      {"32 bits", 40, 32},
      {"32 bits fields", 40, 32, 3, {}, {0x00FF0000, 0x0000FF00, 0x000000FF}},
      {"32 bits BGR fields V5", 124, 32, 3, {}, {0x0000FF00, 0x00FF0000, 0xFF000000}},
  };
  const std::vector<std::pair<int, int>> sizes = {{1, 1},  {7, 3},  {8, 8},   {9, 5},
                                                  {31, 2}, {32, 1}, {33, 17}, {3, 40}};
  int compared = 0;
  for (const Shape& shape : shapes) {
    for (auto [w, h] : sizes) {
      for (bool topDown : {false, true}) {
        SCOPED_TRACE(shape.name + ", " + std::to_string(w) + " x " + std::to_string(h) +
                     (topDown ? ", top-down" : ""));
        const std::string bmp = makeBmp(shape, w, h, topDown, random);
        const std::optional<Dots> before = qtDots(bmp);
        ASSERT_TRUE(before) << "Qt refused the generated file";
        const std::optional<Dots> now = ourDots(bmp);
        ASSERT_TRUE(now) << "refused";
        EXPECT_EQ(now->width, before->width);
        EXPECT_EQ(now->height, before->height);
        EXPECT_TRUE(*now == *before);
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, static_cast<int>(shapes.size() * sizes.size() * 2));
}

// Files both decoders refuse, and what Qt got wrong: it left pixels that the run-length data
// skips, and indices beyond the palette, to whatever its memory held (here they do not print),
// and scaled channels wider than 8 bits to 0, so that every pixel printed (here they keep their
// top 8 bits).
TEST(BmpParity, RefusedFilesAndPixelsNobodyDrew) {
  std::mt19937 random(7);
  const Shape grey8{"8 bits", 40, 8, 0, greys(256, false)};
  const std::string good = makeBmp(grey8, 4, 2, false, random);
  struct Broken {
    const char* name;
    std::size_t at;
    std::string bytes;
  };
  const std::vector<Broken> broken = {
      {"not BM", 0, "XM"},
      {"2 planes", 26, std::string("\x02\x00", 2)},
      {"3 bits per pixel", 28, std::string("\x03\x00", 2)},
      {"RLE4 with 8 bits", 30, std::string("\x02", 1)},
      {"JPEG inside", 30, std::string("\x04", 1)},
      {"width 0", 18, std::string("\0\0\0\0", 4)},
      {"height 0", 22, std::string("\0\0\0\0", 4)},
      {"257 colours", 46, std::string("\x01\x01\0\0", 4)},
  };
  for (const Broken& b : broken) {
    SCOPED_TRACE(b.name);
    std::string bmp = good;
    bmp.replace(b.at, b.bytes.size(), b.bytes);
    EXPECT_FALSE(qtDots(bmp));
    EXPECT_FALSE(ourDots(bmp));
  }

  // A 4 x 2 RLE8 image, palette black then white: row 0 sets two pixels and jumps over the
  // rest and over row 1, whose pixels nobody drew.
  std::string rle = "BM";
  const std::string data("\x02\x00\x00\x02\x02\x01\x00\x01", 8);
  put32(rle, 14 + 40 + 8 + static_cast<std::uint32_t>(data.size()));
  put32(rle, 0);
  put32(rle, 14 + 40 + 8);
  put32(rle, 40);
  put32(rle, 4);
  put32(rle, 2);
  put16(rle, 1);
  put16(rle, 8);
  put32(rle, 1);
  put32(rle, static_cast<std::uint32_t>(data.size()));
  for (std::uint32_t v : {2835u, 2835u, 2u, 0u}) put32(rle, v);
  rle += std::string("\0\0\0\0\xFF\xFF\xFF\0", 8) + data;
  const std::optional<Dots> dots = ourDots(rle);
  ASSERT_TRUE(dots);
  EXPECT_EQ(dots->dots, (std::vector<std::uint8_t>{0, 0, 0, 0, 1, 1, 0, 0}));

  // Index 5 in a palette of two colours.
  std::string outside = good;
  outside.replace(46, 4, std::string("\x02\0\0\0", 4));
  outside.replace(14 + 40 + 1024, 1, "\x05");  // the bottom row's first pixel
  const std::optional<Dots> beyond = ourDots(outside);
  ASSERT_TRUE(beyond);
  EXPECT_EQ(beyond->dots[4], 0);

  // 10 bits per channel: a white pixel, then a black one.
  const Shape wide{"32 bits 10-bit fields", 40, 32, 3, {}, {0x3FF00000, 0x000FFC00, 0x000003FF}};
  std::string ten = makeBmp(wide, 2, 1, false, random);
  ten.replace(14 + 40 + 12, 8, std::string("\xFF\xFF\xFF\x3F\0\0\0\0", 8));
  const std::optional<Dots> tenBits = ourDots(ten);
  ASSERT_TRUE(tenBits);
  EXPECT_EQ(tenBits->dots, (std::vector<std::uint8_t>{0, 1}));
  EXPECT_EQ(qtDots(ten)->dots, (std::vector<std::uint8_t>{1, 1}));
}

// Rows stored top-down announce their height as a negative number; the size limit holds for
// them as it does for the usual order.
TEST(BmpParity, SizeLimitHoldsInBothRowOrders) {
  std::mt19937 random(3);
  const Shape rle8{"8 bits", 40, 8, 1, greys(2, false), {}, true};
  for (std::int32_t height : {2200000, -2200000}) {
    SCOPED_TRACE(height);
    std::string bmp = makeBmp(rle8, 8, 1, false, random);
    bmp.replace(22, 4, std::string(reinterpret_cast<const char*>(&height), 4));
    try {
      LogoImage::decode(bmp, "tall.bmp");
      ADD_FAILURE() << "decoded";
    } catch (const LogoError& e) {
      EXPECT_NE(std::string(e.what()).find("BMP image too large"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace plenar
