// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QJsonArray>

#include "BmpWriter.h"
#include "FileTestSupport.h"
#include "logo/LogoFiles.h"
#include "shared/SharedTexts.h"

using namespace plenar;
using namespace plenar::test;

namespace {

class LogoTransfer : public ::testing::Test {
 protected:
  void SetUp() override { resetTexts(); }
  std::string bmp(const std::string& name, int w, int h, QRgb colour) {
    std::string p = harness.dir().file(name);
    EXPECT_TRUE(saveBmp(solidImage(w, h, colour), p, 24));
    return p;
  }

  SimProcess sim;
  EngineHarness harness;
};

TEST_F(LogoTransfer, FramedLogoFileLandsAt0x1CF000) {
  std::string a = bmp("a.bmp", 384, 100, qRgb(0, 0, 0));
  std::string b = bmp("b.bmp", 384, 100, qRgb(255, 255, 255));
  auto request = prepareLogoDownload({a, b}, harness.dir().path());
  ASSERT_TRUE(request);
  harness.run(*request, serialLink(sim.serialPath()));
  ASSERT_EQ(lastMessage(harness.messages()).msg, 1026) << lastMessage(harness.messages()).error;

  Bytes file = readFile(harness.dir().file("1.bin"));
  ASSERT_EQ(file.size(), 4096u + 2 * 4992u);
  auto frames = framesSeen(sim, 0x35);
  ASSERT_EQ(frames.size(), (file.size() + 255) / 256);
  for (std::size_t i = 0; i < frames.size(); ++i) {
    ASSERT_EQ(frames[i].value1, 0x1CF000u + 256 * i);
  }
  EXPECT_EQ(simMemory(sim, 0x1CF000, file.size(), file.size()), file);
}

TEST_F(LogoTransfer, NvLogoCommandDefinesTheImagesInThePrinter) {
  std::string black = bmp("black.bmp", 20, 10, qRgb(0, 0, 0));
  auto request =
      prepareRawLogoDownload({black, harness.dir().file("gone.bmp")}, harness.dir().path());
  ASSERT_TRUE(request);
  harness.run(*request, serialLink(sim.serialPath()));
  ASSERT_EQ(lastMessage(harness.messages()).msg, 1026) << lastMessage(harness.messages()).error;

  QJsonObject state = sim.waitForState([](const QJsonObject& s) {
    return s.value("nvLogos").toObject().value("count").toInt() > 0;
  });
  QJsonObject logos = state.value("nvLogos").toObject();
  ASSERT_EQ(logos.value("count").toInt(), 1);  // the missing image is not announced
  QJsonObject image = logos.value("images").toArray().at(0).toObject();
  EXPECT_EQ(image.value("widthBytes").toInt(), 3);
  EXPECT_EQ(image.value("heightBytes").toInt(), 2);
  std::string raster;
  for (int x = 0; x < 24; ++x) raster += x < 20 ? "ffc0" : "0000";
  EXPECT_EQ(image.value("raster").toString().toStdString(), raster);
  // Raw pieces: no frames besides the link's own.
  EXPECT_TRUE(framesSeen(sim, 0x35).empty());
}

TEST_F(LogoTransfer, RawPiecesOf1024Bytes) {
  // Two 576 x 120 images: 3 + 2 * (4 + 72 * 15 * 8) = 17291 bytes, 17 pieces.
  std::string a = bmp("a.bmp", 576, 120, qRgb(0, 0, 0));
  auto request = prepareRawLogoDownload({a, a}, harness.dir().path());
  ASSERT_TRUE(request);
  harness.run(*request, serialLink(sim.serialPath()));
  ASSERT_EQ(lastMessage(harness.messages()).msg, 1026);

  int pieces = 0;
  for (const auto& line : harness.traceHeads()) {
    if (line.rfind("Send 1024 Bytes", 0) == 0) ++pieces;
    if (line.rfind("Send 907 Bytes", 0) == 0) ++pieces;
  }
  EXPECT_EQ(pieces, 17);
  EXPECT_EQ(harness.progressTexts().back(), "Finish 100.0%(67/67)");
  QJsonObject state = sim.waitForState([](const QJsonObject& s) {
    return s.value("nvLogos").toObject().value("count").toInt() == 2;
  });
  EXPECT_EQ(state.value("nvLogos").toObject().value("count").toInt(), 2);
}

}  // namespace
