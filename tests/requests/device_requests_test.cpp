// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "RequestMatchers.h"
#include "requests/BlackMarkRequests.h"
#include "requests/DeviceRequests.h"
#include "requests/OptionLists.h"
#include "shared/SharedTexts.h"

namespace plenar {
namespace {

using testing::Bytes;
using testing::isNoAction;
using testing::refusalOf;
using testing::requestOf;

TEST(InfraredRequest, RateEnabledProtocol) {
  CommandRequest r = requestOf(buildSetInfrared(4, true, 1));
  EXPECT_EQ(r.code, 14);
  EXPECT_EQ(r.paraBuf, (Bytes{4, 1, 1}));
  EXPECT_EQ(requestOf(buildSetInfrared(0, false, 0)).paraBuf, (Bytes{0, 0, 0}));
  EXPECT_TRUE(isNoAction(buildSetInfrared(kNoItem, true, 0)));
  EXPECT_TRUE(isNoAction(buildSetInfrared(0, true, kNoItem)));
}

TEST(DeviceRequest, ZeroFilledFortyBytesWithBothTexts) {
  CommandRequest r = requestOf(buildSetDevice("POS-80", "1704269998"));
  EXPECT_EQ(r.code, 15);
  Bytes expected(40, 0);
  std::string name = "POS-80", serial = "1704269998";
  std::copy(name.begin(), name.end(), expected.begin());
  std::copy(serial.begin(), serial.end(), expected.begin() + 20);
  EXPECT_EQ(r.paraBuf, expected);

  // A 20-byte name runs straight into the serial number; an empty serial is an empty area.
  r = requestOf(buildSetDevice(std::string(20, 'N'), ""));
  EXPECT_EQ(std::string(r.paraBuf.begin(), r.paraBuf.begin() + 20), std::string(20, 'N'));
  EXPECT_EQ(Bytes(r.paraBuf.begin() + 20, r.paraBuf.end()), Bytes(20, 0));
  // Longer texts are refused, never cut (eleven Chinese characters are 22 bytes).
  for (const auto& [name, serial] : {std::pair<std::string, std::string>{std::string(21, 'N'), "1"},
                                     {"二十个字符的名字二十个", "1"},
                                     {"n", std::string(21, '9')}}) {
    EXPECT_NE(refusalOf(buildSetDevice(name, serial)).find("bytes in GBK"), std::string::npos)
        << name << " " << serial;
  }
}

TEST(DeviceRequest, EmptyNameIsRefusedWithTheLanguagesText) {
  resetTexts();
  EXPECT_EQ(refusalOf(buildSetDevice("", "1")), "设备名称不能为空");
  setText(TextId::DeviceNameEmpty, "Device name can not be empty");
  EXPECT_EQ(refusalOf(buildSetDevice("", "1")), "Device name can not be empty");
  resetTexts();
}

TEST(DeviceOptionRequests, Value1NamesTheOptionValue2TheItem) {
  CommandRequest r = requestOf(buildSetDeviceOption(DeviceOption::UsbType, 1));
  EXPECT_EQ(r.code, 23);
  EXPECT_EQ(r.value1, 0);
  EXPECT_EQ(r.value2, 1);
  r = requestOf(buildSetDeviceOption(DeviceOption::PaperType, 0));
  EXPECT_EQ(r.value1, 1);
  EXPECT_EQ(r.value2, 0);
  r = requestOf(buildSetDeviceOption(DeviceOption::PrintOrder, 0));
  EXPECT_EQ(r.value1, 2);
  EXPECT_EQ(r.value2, 0);
  EXPECT_TRUE(isNoAction(buildSetDeviceOption(DeviceOption::PrintOrder, kNoItem)));
}

TEST(ProductRows, RetractionHidingAndPaperSize) {
  EXPECT_EQ(requestOf(buildSetRetractionTime("30")).paraBuf, (Bytes{30}));
  EXPECT_EQ(requestOf(buildSetRetractionTime("")).paraBuf, (Bytes{30}));
  EXPECT_EQ(requestOf(buildSetRetractionTime("300")).paraBuf, (Bytes{300 & 0xFF}));
  EXPECT_EQ(requestOf(buildSetRetractionTime("1")).code, 24);

  EXPECT_EQ(requestOf(buildBluetoothHiding(0)).code, 30);
  EXPECT_EQ(requestOf(buildBluetoothHiding(1)).code, 27);
  EXPECT_TRUE(isNoAction(buildBluetoothHiding(kNoItem)));

  EXPECT_EQ(requestOf(buildSetPaperSize(2)).paraBuf, (Bytes{2}));
  EXPECT_EQ(requestOf(buildSetPaperSize(kNoItem)).paraBuf, (Bytes{0xFF}));
  EXPECT_EQ(requestOf(buildSetPaperSize(0)).code, 47);
}

TEST(BlackMarkRequests, ByteOrdersAndDefaults) {
  EXPECT_EQ(requestOf(buildBlackMarkMode(true)).code, 31);
  EXPECT_EQ(requestOf(buildBlackMarkMode(false)).code, 32);
  EXPECT_EQ(requestOf(buildFindBlackMark(false)).code, 36);
  EXPECT_EQ(requestOf(buildFindBlackMark(true)).code, 44);

  CommandRequest r = requestOf(buildBlackMarkDistance("400"));
  EXPECT_EQ(r.code, 33);
  EXPECT_EQ(r.paraBuf, (Bytes{0x01, 0x90}));
  EXPECT_EQ(requestOf(buildBlackMarkDistance("")).paraBuf, (Bytes{0x01, 0x90}));
  EXPECT_EQ(requestOf(buildBlackMarkDistance("4000")).paraBuf, (Bytes{0x0F, 0xA0}));

  r = requestOf(buildBlackMarkWidth("40"));
  EXPECT_EQ(r.code, 34);
  EXPECT_EQ(r.paraBuf, (Bytes{0x00, 0x28}));
  EXPECT_EQ(requestOf(buildBlackMarkWidth("abc")).paraBuf, (Bytes{0x00, 0x28}));

  r = requestOf(buildCutterFeed("40"));
  EXPECT_EQ(r.code, 35);
  EXPECT_EQ(r.paraBuf, (Bytes{0x28, 0x00}));
  EXPECT_EQ(requestOf(buildCutterFeed("1700")).paraBuf, (Bytes{0xA4, 0x06}));
  // Hints are advice only: values outside them are sent.
  EXPECT_EQ(requestOf(buildBlackMarkWidth("5")).paraBuf, (Bytes{0x00, 0x05}));
}

TEST(TestPageRequest, TwoHundredThirtyFiveBytesFromInitialiseToCut) {
  CommandRequest r = requestOf(buildTestPage());
  EXPECT_EQ(r.code, 45);
  ASSERT_EQ(r.paraBuf.size(), kTestPageSize);
  EXPECT_EQ((Bytes(r.paraBuf.begin(), r.paraBuf.begin() + 8)),
            (Bytes{0x1B, 0x40, 0x1B, 0x61, 0x01, 0x1B, 0x21, 0x00}));
  EXPECT_EQ((Bytes(r.paraBuf.end() - 3, r.paraBuf.end())), (Bytes{0x0C, 0x1B, 0x69}));
  // The QR store command announces 111 data bytes (pL 0x72 - 3).
  const Bytes store{0x1D, 0x28, 0x6B, 0x72, 0x00, 0x31, 0x50, 0x30};
  auto at = std::search(r.paraBuf.begin(), r.paraBuf.end(), store.begin(), store.end());
  ASSERT_NE(at, r.paraBuf.end());
  const Bytes print{0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x51, 0x30};
  auto printAt = std::search(at, r.paraBuf.end(), print.begin(), print.end());
  EXPECT_EQ(printAt - at, 8 + 111);
}

}  // namespace
}  // namespace plenar
