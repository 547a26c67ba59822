// SPDX-License-Identifier: GPL-3.0-or-later
#include "logo/LogoImage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BmpWriter.h"

namespace plenar {
namespace {

namespace fs = std::filesystem;
using test::saveBmp;
using test::solidImage;

class LogoImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "plenar-logo-XXXXXX").string();
    dir_ = ::mkdtemp(templ.data());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string path(const std::string& name) const { return (fs::path(dir_) / name).string(); }

  std::string dir_;
};

int bmpBitsPerPixel(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> header(30);
  in.read(header.data(), 30);
  return static_cast<unsigned char>(header[28]) | (static_cast<unsigned char>(header[29]) << 8);
}

// Four colours in stripes: black and dark grey print, white and light grey do not.
QImage stripedImage(int w, int h) {
  const QRgb colours[4] = {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(0x40, 0x40, 0x40),
                           qRgb(0xC0, 0xC0, 0xC0)};
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) image.setPixel(x, y, colours[(x + 2 * y) % 4]);
  }
  return image;
}

bool expectedStripeDot(int x, int y, bool twoColoursOnly) {
  int c = (x + 2 * y) % 4;
  if (twoColoursOnly) return c == 0;  // the 1-bit file holds black where the source is black
  return c == 0 || c == 2;
}

TEST_F(LogoImageTest, BlackImageRastersInBothLayouts) {
  ASSERT_TRUE(saveBmp(solidImage(20, 10, qRgb(0, 0, 0)), path("black.bmp"), 24));
  auto logo = LogoImage::load(path("black.bmp"));
  ASSERT_TRUE(logo);
  EXPECT_EQ(logo->widthBytes(), 3u);
  EXPECT_EQ(logo->heightBands(), 2u);
  EXPECT_EQ(logo->rasterSize(), 48u);

  auto rows = logo->rowRaster();
  ASSERT_EQ(rows.size(), 48u);
  for (int y = 0; y < 16; ++y) {
    std::vector<std::uint8_t> row(rows.begin() + 3 * y, rows.begin() + 3 * y + 3);
    std::vector<std::uint8_t> want =
        y < 10 ? std::vector<std::uint8_t>{0xFF, 0xFF, 0xF0} : std::vector<std::uint8_t>{0, 0, 0};
    EXPECT_EQ(row, want) << "row " << y;
  }

  auto columns = logo->columnRaster();
  ASSERT_EQ(columns.size(), 48u);
  for (int x = 0; x < 24; ++x) {
    std::vector<std::uint8_t> column(columns.begin() + 2 * x, columns.begin() + 2 * x + 2);
    std::vector<std::uint8_t> want =
        x < 20 ? std::vector<std::uint8_t>{0xFF, 0xC0} : std::vector<std::uint8_t>{0, 0};
    EXPECT_EQ(column, want) << "column " << x;
  }
}

TEST_F(LogoImageTest, EveryBmpDepthGivesTheSameDots) {
  const int w = 13, h = 11;  // neither a multiple of 8
  QImage source = stripedImage(w, h);
  for (int bits : {1, 4, 8, 24, 32}) {
    SCOPED_TRACE(bits);
    std::string file = path("stripes" + std::to_string(bits) + ".bmp");
    ASSERT_TRUE(saveBmp(source, file, bits));
    ASSERT_EQ(bmpBitsPerPixel(file), bits);
    auto logo = LogoImage::load(file);
    ASSERT_TRUE(logo);
    ASSERT_EQ(logo->width(), w);
    ASSERT_EQ(logo->height(), h);
    int wrong = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        if (logo->dot(x, y) != expectedStripeDot(x, y, bits == 1)) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(LogoImageTest, PartialBytesAndBandsArePadded) {
  // A single dot in the bottom-right pixel of a 9 x 9 image.
  QImage image = solidImage(9, 9, qRgb(255, 255, 255));
  image.setPixel(8, 8, qRgb(0, 0, 0));
  ASSERT_TRUE(saveBmp(image, path("corner.bmp"), 24));
  auto logo = LogoImage::load(path("corner.bmp"));
  ASSERT_TRUE(logo);
  EXPECT_EQ(logo->rasterSize(), 2u * 2u * 8u);
  // Row layout: row 8, second byte, bit 7.
  std::vector<std::uint8_t> rows(32, 0);
  rows[8 * 2 + 1] = 0x80;
  EXPECT_EQ(logo->rowRaster(), rows);
  // Column layout: column 8, second band, bit 7.
  std::vector<std::uint8_t> columns(32, 0);
  columns[8 * 2 + 1] = 0x80;
  EXPECT_EQ(logo->columnRaster(), columns);
}

TEST_F(LogoImageTest, OneBitPaletteDecidesWhatIsBlack) {
  // Index 0 white, index 1 black: the stored bit value is not what makes a dot.
  QImage mono(8, 1, QImage::Format_Mono);
  mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  for (int x = 0; x < 8; ++x) mono.setPixel(x, 0, x < 3 ? 1 : 0);
  ASSERT_TRUE(mono.save(QString::fromStdString(path("inverted.bmp")), "BMP"));
  auto logo = LogoImage::load(path("inverted.bmp"));
  ASSERT_TRUE(logo);
  EXPECT_EQ(logo->rowRaster(), (std::vector<std::uint8_t>{0xE0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(LogoImageTest, MissingAndUnreadableFiles) {
  EXPECT_FALSE(LogoImage::load(path("missing.bmp")));
  EXPECT_FALSE(LogoImage::load(dir_));  // a folder is not a file

  std::ofstream(path("text.bmp")) << "this is not a bitmap\n";
  EXPECT_THROW(LogoImage::load(path("text.bmp")), LogoError);

  // A readable image in another format is not a BMP either.
  ASSERT_TRUE(solidImage(4, 4, qRgb(0, 0, 0)).save(QString::fromStdString(path("png.bmp")), "PNG"));
  EXPECT_THROW(LogoImage::load(path("png.bmp")), LogoError);

  // A BMP cut short inside its pixel data.
  ASSERT_TRUE(saveBmp(solidImage(64, 64, qRgb(0, 0, 0)), path("full.bmp"), 24));
  QFile full(QString::fromStdString(path("full.bmp")));
  ASSERT_TRUE(full.open(QIODevice::ReadOnly));
  QByteArray head = full.read(40);
  QFile cut(QString::fromStdString(path("cut.bmp")));
  ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
  cut.write(head);
  cut.close();
  EXPECT_THROW(LogoImage::load(path("cut.bmp")), LogoError);
}

// Qt's decoder fills rows missing at the end of a file with colour 0 (black): a cut file must be
// refused, not stored as a black block. Every depth, cut one byte short and cut at half the rows.
TEST_F(LogoImageTest, FileEndingBeforeItsPixelDataIsRefused) {
  for (int bits : {1, 4, 8, 24, 32}) {
    SCOPED_TRACE(bits);
    const std::string full = path("full" + std::to_string(bits) + ".bmp");
    ASSERT_TRUE(saveBmp(solidImage(40, 30, qRgb(255, 255, 255)), full, bits));
    std::ifstream in(full, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    ASSERT_TRUE(LogoImage::load(full));
    for (std::size_t keep : {bytes.size() - 1, bytes.size() - bytes.size() / 4}) {
      std::ofstream(path("cut.bmp"), std::ios::binary | std::ios::trunc) << bytes.substr(0, keep);
      try {
        LogoImage::load(path("cut.bmp"));
        ADD_FAILURE() << "a file cut to " << keep << " of " << bytes.size() << " bytes loaded";
      } catch (const LogoError& e) {
        EXPECT_NE(std::string(e.what()).find("Bitmap image is not valid"), std::string::npos);
      }
    }
  }
}

// A run-length BMP of about a kilobyte that announces 8 x 2,200,000 dots: refused from its
// header, before seconds go into decoding dots that no printer could store.
TEST_F(LogoImageTest, HeaderAnnouncingFarMoreDotsThanTheLogoMemoryIsRefused) {
  auto le32 = [](std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  std::string bmp = "BM";
  le32(bmp, 14 + 40 + 1024 + 2);  // file size
  le32(bmp, 0);
  le32(bmp, 14 + 40 + 1024);                  // pixel data offset
  le32(bmp, 40);                              // info header size
  le32(bmp, 8);                               // width
  le32(bmp, 2200000);                         // height
  bmp += std::string("\x01\x00\x08\x00", 4);  // 1 plane, 8 bits per pixel
  le32(bmp, 1);                               // RLE8
  for (int i = 0; i < 5; ++i) le32(bmp, i == 2 || i == 3 ? 256 : 0);
  for (int i = 0; i < 256; ++i) le32(bmp, static_cast<std::uint32_t>(i * 0x010101));
  bmp += std::string("\x00\x01", 2);  // end of bitmap
  std::ofstream(path("tall.bmp"), std::ios::binary) << bmp;
  try {
    LogoImage::load(path("tall.bmp"));
    ADD_FAILURE() << "decoded";
  } catch (const LogoError& e) {
    EXPECT_NE(std::string(e.what()).find("BMP image too large"), std::string::npos) << e.what();
  }
}

TEST_F(LogoImageTest, SpecialFilesAreRefusedWithoutWaiting) {
  ASSERT_EQ(::mkfifo(path("fifo.bmp").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", path("zero.bmp"));
  for (const char* name : {"fifo.bmp", "zero.bmp"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(LogoImage::load(path(name)), LogoError);
  }
}

}  // namespace
}  // namespace plenar
