// SPDX-License-Identifier: GPL-3.0-or-later
// Printer input outside frames: the direct sequences, NV logos, the test page and text lines.
#include <gtest/gtest.h>

#include "SimTestUtil.h"

namespace plenar::sim::test {
namespace {

TEST(RawSequences, BlackMarkCutterAndFindMark) {
  Bench b;
  b.serial(hexBytes("1F 1B 1F 80 04 05 06 44"));
  EXPECT_TRUE(b.state.settings.blackMark);
  b.serial(hexBytes("1F 1B 1F 81 04 05 06 01 90"));
  EXPECT_EQ(b.state.settings.blackMarkDistance, 400);
  b.serial(hexBytes("1F 1B 1F 82 04 05 06 00 28"));
  EXPECT_EQ(b.state.settings.blackMarkWidth, 40);
  b.serial(hexBytes("1D 28 46 04 00 01 00 A4 06"));
  EXPECT_EQ(b.state.settings.cutterFeed, 1700);
  b.serial(hexBytes("0C 1B 69"));
  ASSERT_EQ(b.state.journal.size(), 2u);
  EXPECT_EQ(b.state.journal[0].kind, "find-mark");
  EXPECT_EQ(b.state.journal[1].kind, "cut");
  b.serial(hexBytes("1F 1B 1F 80 04 05 06 66"));
  EXPECT_FALSE(b.state.settings.blackMark);
}

TEST(RawSequences, EthernetAddressesKeepTheFifthByteApart) {
  Bench b;
  b.serial(hexBytes("1F 49 C0 A8 01 64 00"));
  b.serial(hexBytes("1F 53 FF FF 00 00 07"));
  b.serial(hexBytes("1F 4E C0 A8 01 01"));
  b.serial(hexBytes("1F 50 23 8C"));
  b.serial(hexBytes("1F 4D 65 66 67 68 00"));
  const auto& e = b.state.settings.ethernet;
  EXPECT_EQ(e.ip, (std::array<std::uint8_t, 4>{192, 168, 1, 100}));
  EXPECT_EQ(e.ipExtra, 0);
  EXPECT_EQ(e.mask, (std::array<std::uint8_t, 4>{255, 255, 0, 0}));
  EXPECT_EQ(e.maskExtra, 7);
  EXPECT_EQ(e.gateway, (std::array<std::uint8_t, 4>{192, 168, 1, 1}));
  EXPECT_EQ(e.port, 9100);
  EXPECT_EQ(e.mac, (std::array<std::uint8_t, 4>{0x65, 0x66, 0x67, 0x68}));
}

TEST(RawSequences, DeviceOptionsAndInvalidValues) {
  Bench b;
  b.serial(hexBytes("12 55 01 1F 41 01 1B 7B F1 8E 01"));
  const auto& s = b.state.settings;
  EXPECT_EQ(s.usbType, 1);
  EXPECT_EQ(s.paperType, 1);
  EXPECT_EQ(s.printOrder, 0xF1);
  EXPECT_TRUE(s.bluetooth.hidden);
  b.serial(hexBytes("12 55 02 1F 41 05 8E 00"));
  EXPECT_EQ(s.usbType, 1) << "an undefined USB type is ignored";
  EXPECT_EQ(s.paperType, 1);
  EXPECT_FALSE(s.bluetooth.hidden);
}

TEST(RawSequences, SequenceSplitAcrossReadsIsDecodedOnce) {
  Bench b;
  auto seq = hexBytes("1F 1B 1F 81 04 05 06 0F A0");
  for (auto byte : seq) b.serial({byte});
  EXPECT_EQ(b.state.settings.blackMarkDistance, 4000);
  EXPECT_EQ(b.meanings("sequence").size(), 1u);
}

// The 20 x 10 black image of the logo conversion, in the column layout of 1C 71: x = 3, y = 2,
// columns 0..19 are FF C0, columns 20..23 are 00 00.
std::vector<std::uint8_t> blackImage20x10() {
  std::vector<std::uint8_t> img = bytesOf({0x03, 0x00, 0x02, 0x00});
  for (int col = 0; col < 24; ++col) {
    img.push_back(col < 20 ? 0xFF : 0x00);
    img.push_back(col < 20 ? 0xC0 : 0x00);
  }
  return img;
}

TEST(NvLogos, DefinitionStoresEveryImageWithItsRaster) {
  Bench b;
  std::vector<std::uint8_t> def = bytesOf({0x1C, 0x71, 0x02});
  auto img = blackImage20x10();
  def.insert(def.end(), img.begin(), img.end());
  std::vector<std::uint8_t> second = bytesOf({0x01, 0x00, 0x01, 0x00});
  for (int i = 0; i < 8; ++i) second.push_back(static_cast<std::uint8_t>(0x11 * i));
  def.insert(def.end(), second.begin(), second.end());

  // Sent in pieces, as the raw logo download does.
  b.serial(std::vector<std::uint8_t>(def.begin(), def.begin() + 30));
  EXPECT_TRUE(b.state.logos.empty()) << "nothing is stored before the definition is complete";
  b.serial(std::vector<std::uint8_t>(def.begin() + 30, def.end()));

  ASSERT_EQ(b.state.logos.size(), 2u);
  EXPECT_EQ(b.state.logos[0].widthBytes, 3);
  EXPECT_EQ(b.state.logos[0].heightBytes, 2);
  EXPECT_EQ(b.state.logos[0].raster, std::vector<std::uint8_t>(img.begin() + 4, img.end()));
  EXPECT_EQ(b.state.logos[1].raster, std::vector<std::uint8_t>(second.begin() + 4, second.end()));

  // "02 00" could start a frame until the line stays quiet.
  b.serial(hexBytes("1C 70 02 00 1C 70 05 00"));
  EXPECT_TRUE(b.state.journal.empty());
  b.printer.lineIdle(Link::Serial);
  ASSERT_EQ(b.state.journal.size(), 2u);
  EXPECT_EQ(b.state.journal[0].text, "2");
  EXPECT_EQ(b.state.journal[1].text, "5 (not defined)");
}

TEST(NvLogos, DefinitionCutShortByAFrameStoresNothing) {
  Bench b;
  std::vector<std::uint8_t> def = bytesOf({0x1C, 0x71, 0x02});
  auto img = blackImage20x10();
  def.insert(def.end(), img.begin(), img.end());  // the second image never comes
  b.serial(def);
  auto out = b.serial(kIdentify);
  EXPECT_EQ(out.size(), 1u) << "the frame is still answered";
  EXPECT_TRUE(b.state.logos.empty());
}

TEST(TestPage, DecodesIntoLinesQrCodeFeedAndCut) {
  const std::string page =
      "1B401B61011B210057656C636F6D6520746F207072696E74657220426C61636B4D61726B2066756E6374696F6E"
      "0d0a1B3900BBB6D3ADCAB9D3C3BADAB1EAB9A6C4DC0D0A1B3903C577AAEFA8CFA5CEB6C2BCD0A55CAFE00D0A1d28"
      "6b03003143041d286b03003145301d286b720031503057656c636f6d6520746f207072696e74657220426c6163"
      "6b4d61726b2066756e6374696f6e0ae6aca2e8bf8ee4bdbfe794a8e68993e58db0e69cbae79a84e9bb91e6a087"
      "e58a9fe883bd0ae6ada1e8bf8ee4bdbfe794a8e58db0e8a1a8e6a99fe79a84e9bb91e6a899e58a9fe883bd1d28"
      "6b03003151300C1B69";
  auto bytes = hexBytes(page);
  ASSERT_EQ(bytes.size(), 235u);
  Bench b;
  b.serial(bytes);
  const auto& j = b.state.journal;
  ASSERT_EQ(j.size(), 6u);
  EXPECT_EQ(j[0].kind, "text");
  EXPECT_EQ(j[0].text, "Welcome to printer BlackMark function");
  EXPECT_EQ(j[1].text, "欢迎使用黑标功能");
  EXPECT_EQ(j[2].kind, "text");
  EXPECT_NE(j[2].text.find("黑標"), std::string::npos) << j[2].text;  // decoded as Big5
  EXPECT_EQ(j[3].kind, "qr");
  EXPECT_EQ(j[3].text.rfind("Welcome to printer BlackMark function\n", 0), 0u);
  EXPECT_EQ(j[4].kind, "find-mark");
  EXPECT_EQ(j[5].kind, "cut");
  EXPECT_TRUE(b.meanings("noise").empty());
}

TEST(TextInput, FeedCharacterDecidesWhichByteEndsALine) {
  Bench b;
  b.serial(hexBytes("41 42 0D 0A 43 0D"));
  ASSERT_EQ(b.state.journal.size(), 1u);
  EXPECT_EQ(b.state.journal[0].text, "AB");

  Bench cr;
  cr.state.settings.feedChar = 1;
  cr.serial(hexBytes("41 42 0D 0A 43 0D"));
  ASSERT_EQ(cr.state.journal.size(), 2u);
  EXPECT_EQ(cr.state.journal[1].text, "C");
}

}  // namespace
}  // namespace plenar::sim::test
