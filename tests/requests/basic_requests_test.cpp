// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "RequestMatchers.h"
#include "requests/BasicRequests.h"
#include "requests/OptionLists.h"

namespace plenar {
namespace {

using testing::Bytes;
using testing::isNoAction;
using testing::requestOf;

int itemOf(std::string_view text) {
  for (std::size_t i = 0; i < kCodePageItems.size(); ++i) {
    if (kCodePageItems[i] == text) return static_cast<int>(i);
  }
  return kNoItem;
}

TEST(BaudRateRequest, MapsEveryListItemToThePrintersRateCode) {
  const int expected[9] = {5, 6, 7, 0, 1, 2, 3, 4, 8};
  for (int item = 0; item < 9; ++item) {
    CommandRequest r = requestOf(buildSetBaudRate(item));
    EXPECT_EQ(r.code, 8);
    EXPECT_EQ(r.value1, expected[item]) << kBaudRateItems[item];
    EXPECT_TRUE(r.paraBuf.empty());
  }
  EXPECT_TRUE(isNoAction(buildSetBaudRate(kNoItem)));
}

TEST(FlowControlRequest, SoftwareIs42HardwareIs43EmptyListDoesNothing) {
  EXPECT_EQ(requestOf(buildSetFlowControl(0)).code, 42);
  EXPECT_EQ(requestOf(buildSetFlowControl(1)).code, 43);
  EXPECT_TRUE(isNoAction(buildSetFlowControl(kNoItem)));
}

TEST(CodePageRequest, MapsNamedPagesAndTheWholeNumberedRange) {
  EXPECT_EQ(kCodePageItems.size(), 53u);
  EXPECT_EQ(requestOf(buildSetCodePage(itemOf("CP437:USA/Standard Europe"))).value1, 0);
  EXPECT_EQ(requestOf(buildSetCodePage(itemOf("CP932 SHIFT_JIS"))).value1, 252);
  EXPECT_EQ(requestOf(buildSetCodePage(itemOf("UNICODE UCS-2"))).value1, 253);
  EXPECT_EQ(requestOf(buildSetCodePage(itemOf("CP950:BIG5"))).value1, 254);
  EXPECT_EQ(requestOf(buildSetCodePage(itemOf("CP936:GBK"))).value1, 255);
  EXPECT_EQ(requestOf(buildSetCodePage(itemOf("EUC-KR"))).value1, 250);
  EXPECT_EQ(requestOf(buildSetCodePage(itemOf("CP874:Thai"))).value1, 47);
  for (int item = 4; item <= 51; ++item) {
    EXPECT_EQ(requestOf(buildSetCodePage(item)).value1, item - 4);
  }
  EXPECT_EQ(requestOf(buildSetCodePage(4)).code, 6);
  EXPECT_TRUE(isNoAction(buildSetCodePage(kNoItem)));
  EXPECT_TRUE(isNoAction(buildSetCodePage(53)));
  // No selection gives the same byte as GBK where a block needs one.
  EXPECT_EQ(codePageByte(kNoItem), 255);
}

TEST(SwitchRequest, CombinesDensityFontCutterAndBuzzer) {
  SwitchFields normal;  // 正常, 12x24, cutter and buzzer checked
  EXPECT_EQ(requestOf(buildSetSwitches(normal)).paraBuf, (Bytes{0xE4, 0x00}));

  SwitchFields dark{
      .densityItem = 2, .fontItem = 3, .feedItem = 1, .cutter = false, .buzzer = false};
  CommandRequest r = requestOf(buildSetSwitches(dark));
  EXPECT_EQ(r.code, 20);
  EXPECT_EQ(r.paraBuf, (Bytes{0x49, 0x01}));

  EXPECT_EQ(switchByte(0, 0, false, false), 0x00);
  EXPECT_EQ(switchByte(3, 2, false, true), 0x81 | 0x08 | 0x04);
  // Without a density the byte is 0xFF whatever else is chosen; without a feed item 0xFF.
  SwitchFields none{.densityItem = kNoItem, .fontItem = 0, .feedItem = kNoItem};
  EXPECT_EQ(requestOf(buildSetSwitches(none)).paraBuf, (Bytes{0xFF, 0xFF}));
}

TEST(TimesRequest, SendsSecondsLittleEndianWithFallbacksForNonNumbers) {
  CommandRequest r = requestOf(buildSetTimes("60", "7200"));
  EXPECT_EQ(r.code, 18);
  EXPECT_EQ(r.paraBuf, (Bytes{60, 0, 0, 0, 0x20, 0x1C, 0, 0}));
  EXPECT_EQ(requestOf(buildSetTimes("", "x")).paraBuf, (Bytes{0xE8, 0x03, 0, 0, 0xB8, 0x0B, 0, 0}));
  EXPECT_EQ(requestOf(buildSetTimes("999999999", "1")).paraBuf,
            (Bytes{0xFF, 0xC9, 0x9A, 0x3B, 1, 0, 0, 0}));
}

TEST(AllParametersRequest, LaysOutTwelveBytes) {
  SwitchFields f;
  CommandRequest r = requestOf(buildSetAllParameters(4, 7, f, "60", "7200"));
  EXPECT_EQ(r.code, 19);
  EXPECT_EQ(r.paraBuf, (Bytes{0, 4, 0xE4, 0, 60, 0, 0, 0, 0x20, 0x1C, 0, 0}));
  // Lists without a selection: GBK code page, rate code 0; an emptied sleep box sends 1000.
  SwitchFields none{.feedItem = kNoItem};
  r = requestOf(buildSetAllParameters(kNoItem, kNoItem, none, "", "7200"));
  EXPECT_EQ(r.paraBuf, (Bytes{0xFF, 0, 0xE4, 0xFF, 0xE8, 0x03, 0, 0, 0x20, 0x1C, 0, 0}));
}

TEST(RestoreDefaultsRequest, IsCode10WithoutData) {
  CommandRequest r = requestOf(buildRestoreDefaults());
  EXPECT_EQ(r.code, 10);
  EXPECT_EQ(r.value1, 0);
  EXPECT_TRUE(r.paraBuf.empty());
  EXPECT_TRUE(remembersLinkSettings(10));
  EXPECT_FALSE(remembersLinkSettings(42));
}

}  // namespace
}  // namespace plenar
