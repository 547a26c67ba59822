// SPDX-License-Identifier: GPL-3.0-or-later
#include "logo/LogoFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BmpWriter.h"
#include "logo/LogoImage.h"
#include "shared/Frame.h"
#include "shared/SharedTexts.h"

namespace plenar {
namespace {

namespace fs = std::filesystem;
using test::saveBmp;
using test::solidImage;

class LogoFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetTexts();
    std::string templ = (fs::temp_directory_path() / "plenar-logofiles-XXXXXX").string();
    dir_ = ::mkdtemp(templ.data());
  }
  void TearDown() override {
    resetTexts();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string path(const std::string& name) const { return (fs::path(dir_) / name).string(); }
  std::string bmp(const std::string& name, int w, int h, QRgb colour = qRgb(0, 0, 0)) const {
    std::string p = path(name);
    EXPECT_TRUE(saveBmp(solidImage(w, h, colour), p, 24));
    return p;
  }
  std::vector<std::uint8_t> fileBytes(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::string dir_;
};

struct DirEntry {
  std::uint32_t address;
  std::uint16_t wb, hb;
};

DirEntry entryAt(const std::vector<std::uint8_t>& file, std::size_t k) {
  const std::uint8_t* p = file.data() + 8 * k;
  return {getLe32(p), getLe16(p + 4), getLe16(p + 6)};
}

TEST_F(LogoFilesTest, DirectoryOfTwoImages) {
  std::string a = bmp("a.bmp", 384, 100);
  std::string b = bmp("b.bmp", 384, 100, qRgb(255, 255, 255));
  LogoFile file = buildFramedLogoFile({a, b});
  EXPECT_EQ(file.imagesWritten, 2);
  ASSERT_EQ(file.bytes.size(), 4096u + 2 * 4992u);
  DirEntry first = entryAt(file.bytes, 0), second = entryAt(file.bytes, 1);
  EXPECT_EQ(first.address, 0x1D0000u);
  EXPECT_EQ(first.wb, 48);
  EXPECT_EQ(first.hb, 13);
  EXPECT_EQ(second.address, 0x1D0000u + 4992u);
  EXPECT_EQ(second.wb, 48);
  EXPECT_EQ(second.hb, 13);
  for (std::size_t i = 16; i < 4096; ++i) ASSERT_EQ(file.bytes[i], 0) << i;
  // The black raster first (row layout, last band's padding rows empty), then the white one.
  EXPECT_EQ(file.bytes[4096], 0xFF);
  EXPECT_EQ(file.bytes[4096 + 99 * 48 + 47], 0xFF);
  EXPECT_EQ(file.bytes[4096 + 100 * 48], 0x00);
  EXPECT_EQ(file.bytes[4096 + 4992], 0x00);
}

TEST_F(LogoFilesTest, MissingImagesAreSkipped) {
  std::string a = bmp("a.bmp", 20, 10);
  std::string c = bmp("c.bmp", 8, 8);
  std::vector<std::string> list = {a, path("gone.bmp"), c};

  LogoFile framed = buildFramedLogoFile(list);
  EXPECT_EQ(framed.imagesWritten, 2);
  EXPECT_EQ(entryAt(framed.bytes, 1).address, 0x1D0000u + 48u);  // c moved up
  EXPECT_EQ(entryAt(framed.bytes, 1).wb, 1);
  EXPECT_EQ(entryAt(framed.bytes, 2).address, 0u);
  EXPECT_EQ(framed.bytes.size(), 4096u + 48u + 8u);

  LogoFile nv = buildNvLogoFile(list);
  EXPECT_EQ(nv.imagesWritten, 2);
  // The count byte counts the images written, so the printer never reads past the file.
  ASSERT_EQ(nv.bytes.size(), 3u + 4 + 48 + 4 + 8);
  EXPECT_EQ(nv.bytes[0], 0x1C);
  EXPECT_EQ(nv.bytes[1], 0x71);
  EXPECT_EQ(nv.bytes[2], 2);
  EXPECT_EQ(std::vector<std::uint8_t>(nv.bytes.begin() + 3, nv.bytes.begin() + 7),
            (std::vector<std::uint8_t>{3, 0, 2, 0}));
  EXPECT_EQ(nv.bytes[7], 0xFF);  // column 0 of the black 20 x 10 image: FF C0
  EXPECT_EQ(nv.bytes[8], 0xC0);
  EXPECT_EQ(std::vector<std::uint8_t>(nv.bytes.begin() + 55, nv.bytes.begin() + 59),
            (std::vector<std::uint8_t>{1, 0, 1, 0}));
}

TEST_F(LogoFilesTest, DownloadRequestsAndSavedFiles) {
  std::string a = bmp("a.bmp", 20, 10);
  auto framed = prepareLogoDownload({a}, dir_);
  ASSERT_TRUE(framed);
  EXPECT_EQ(framed->code, 7);
  EXPECT_EQ(framed->fileList, std::vector<std::string>{path("1.bin")});
  EXPECT_EQ(framed->nameList, std::vector<std::string>{"LOGO"});
  EXPECT_EQ(framed->cmdList, std::vector<std::string>{"$35"});
  EXPECT_EQ(framed->paramList, std::vector<std::string>{"$1cf000"});
  EXPECT_EQ(fileBytes("1.bin"), buildFramedLogoFile({a}).bytes);

  auto raw = prepareRawLogoDownload({a}, dir_);
  ASSERT_TRUE(raw);
  EXPECT_EQ(raw->code, 46);
  EXPECT_EQ(raw->fileList, std::vector<std::string>{path("2.bin")});
  EXPECT_EQ(fileBytes("2.bin"), buildNvLogoFile({a}).bytes);

  EXPECT_FALSE(prepareLogoDownload({}, dir_));
  EXPECT_FALSE(prepareRawLogoDownload({}, dir_));
}

// A list without one readable image would send an empty directory (erasing the printer's logo
// table) or a 1C 71 with no image: both buttons refuse, and no file is written.
TEST_F(LogoFilesTest, ListWithoutAnyImageIsRefused) {
  fs::create_directory(path("folder"));
  const std::vector<std::string> lists[] = {{path("gone.bmp")}, {path("gone.bmp"), path("folder")}};
  for (const auto& list : lists) {
    for (bool raw : {false, true}) {
      SCOPED_TRACE(raw ? "2.bin" : "1.bin");
      try {
        raw ? prepareRawLogoDownload(list, dir_) : prepareLogoDownload(list, dir_);
        ADD_FAILURE() << "an empty logo file was prepared";
      } catch (const LogoError& e) {
        EXPECT_EQ(std::string(e.what()), nothingToDownloadText());
      }
      EXPECT_FALSE(fs::exists(path(raw ? "2.bin" : "1.bin")));
    }
  }
}

TEST_F(LogoFilesTest, SizeLimitOf256KiB) {
  // 576 x 460: wb 72, hb 58, 33408 bytes per raster.
  std::string big = bmp("big.bmp", 576, 460);
  std::vector<std::string> seven(7, big), eight(8, big);
  auto ok = prepareLogoDownload(seven, dir_);
  ASSERT_TRUE(ok);
  EXPECT_EQ(fs::file_size(path("1.bin")), 4096u + 7u * 33408u);

  try {
    prepareLogoDownload(eight, dir_);
    FAIL() << "271360 bytes exceed the limit";
  } catch (const LogoError& e) {
    EXPECT_EQ(std::string(e.what()), "BMP 文件不能超过256");
  }
  EXPECT_EQ(fs::file_size(path("1.bin")), 271360u);  // stays on disk for inspection

  // Exactly 262144 bytes is accepted: one raster of 126 x 256 bands.
  std::string edge = bmp("edge.bmp", 126 * 8, 256 * 8);
  EXPECT_TRUE(prepareLogoDownload({edge}, dir_));
  EXPECT_EQ(fs::file_size(path("1.bin")), 262144u);
}

TEST_F(LogoFilesTest, TooManyImagesRefusedBeforeAnyFileIsWritten) {
  std::string dot = bmp("dot.bmp", 1, 1);
  EXPECT_NO_THROW(buildNvLogoFile(std::vector<std::string>(255, dot)));
  EXPECT_THROW(prepareRawLogoDownload(std::vector<std::string>(256, dot), dir_), LogoError);
  EXPECT_FALSE(fs::exists(path("2.bin")));

  EXPECT_NO_THROW(buildFramedLogoFile(std::vector<std::string>(512, dot)));
  EXPECT_THROW(prepareLogoDownload(std::vector<std::string>(513, dot), dir_), LogoError);
  EXPECT_FALSE(fs::exists(path("1.bin")));

  // Missing entries do not count against the limit.
  std::vector<std::string> list(255, dot);
  list.push_back(path("gone.bmp"));
  EXPECT_EQ(buildNvLogoFile(list).bytes[2], 255);
}

TEST_F(LogoFilesTest, UnreadableImageStopsTheBuild) {
  std::string a = bmp("a.bmp", 8, 8);
  std::ofstream(path("bad.bmp")) << "BM but not really";
  EXPECT_THROW(prepareLogoDownload({a, path("bad.bmp")}, dir_), LogoError);
  EXPECT_FALSE(fs::exists(path("1.bin")));
}

// The size fields hold 65535 bytes per row and 65535 bands: a run-length BMP of a few hundred
// bytes may announce a row of more dots than that, in either row order. It is refused, in both
// files, with the image's name; a side that fits is built.
TEST_F(LogoFilesTest, SidesBeyondTheSizeFieldsAreRefused) {
  auto rle8 = [](std::int32_t width, std::int32_t height) {
    std::string b = "BM";
    auto le32 = [&b](std::uint32_t v) {
      for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    le32(14 + 40 + 8 + 2);
    le32(0);
    le32(14 + 40 + 8);
    le32(40);
    le32(static_cast<std::uint32_t>(width));
    le32(static_cast<std::uint32_t>(height));
    b += std::string("\x01\x00\x08\x00", 4);           // 1 plane, 8 bits per pixel
    le32(1);                                           // RLE8
    for (int i = 0; i < 5; ++i) le32(i == 3 ? 2 : 0);  // two colours
    le32(0x000000);
    le32(0xFFFFFF);
    return b + std::string("\x00\x01", 2);  // end of bitmap
  };
  struct Case {
    std::int32_t width, height;
    bool refused;
  };
  for (const Case& c : {Case{524280, 1, false}, Case{524281, 1, true}, Case{8, 524281, true},
                        Case{8, -524281, true}, Case{1, 524280, false}}) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    const std::string p = path("side.bmp");
    std::ofstream(p, std::ios::binary | std::ios::trunc) << rle8(c.width, c.height);
    for (bool raw : {false, true}) {
      try {
        const LogoFile file = raw ? buildNvLogoFile({p}) : buildFramedLogoFile({p});
        EXPECT_FALSE(c.refused) << "built";
        EXPECT_EQ(file.imagesWritten, 1);
      } catch (const LogoError& e) {
        EXPECT_TRUE(c.refused) << e.what();
        EXPECT_EQ(std::string(e.what()), "BMP image too large: " + p);
      }
    }
  }
}

TEST_F(LogoFilesTest, LanguageTextIsNotAFormatString) {
  setText(TextId::LogoFileTooLarge, "%s %n too large: %d KB, %d");
  EXPECT_EQ(logoTooLargeText(), "%s %n too large: 256 KB, %d");
}

}  // namespace
}  // namespace plenar
