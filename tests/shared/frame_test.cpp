// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "shared/Frame.h"
#include "shared/RateCodes.h"

using namespace plenar;

using Bytes = std::vector<std::uint8_t>;

TEST(Frame, KnownFramesByteForByte) {
  Bytes id{0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};
  EXPECT_EQ(buildFrame(0x30, 0, 0, id),
            (Bytes{0x02, 0x00, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08,
                   0x00, 0x3A, 0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0xFF}));
  EXPECT_EQ(buildFrame(0x31, 4, 0, {}),
            (Bytes{0x02, 0, 0x31, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x37, 0}));
  EXPECT_EQ(buildFrame(0x32, 0, 0, {}),
            (Bytes{0x02, 0, 0x32, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x30, 0}));
  Bytes one{0x00};
  EXPECT_EQ(buildFrame(0x80, 0, 0, one),
            (Bytes{0x02, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0x83, 0, 0, 0}));
}

TEST(Frame, LittleEndianValuesAndChecks) {
  Bytes data(300, 0x5A);
  auto f = buildFrame(0x35, 0x1CF000, 0x01020304, data);
  ASSERT_EQ(f.size(), 16u + 300 + 1);
  auto h = parseHeader(f);
  EXPECT_EQ(h.command, 0x35);
  EXPECT_EQ(h.value1, 0x1CF000u);
  EXPECT_EQ(h.value2, 0x01020304u);
  EXPECT_EQ(h.dataLength, 300);
  EXPECT_EQ(f[4], 0x00);
  EXPECT_EQ(f[5], 0xF0);
  EXPECT_EQ(f[6], 0x1C);
  EXPECT_TRUE(headerValid(std::span(f).first(16)));
  EXPECT_TRUE(dataValid(std::span(f).subspan(16)));
  f[20] ^= 1;
  EXPECT_FALSE(dataValid(std::span(f).subspan(16)));
}

TEST(Frame, OversizedDataIsRefusedNotBuilt) {
  Bytes big(kMaxRequestData + 1);
  EXPECT_THROW(buildFrame(0x35, 0, 0, big), std::length_error);
  EXPECT_NO_THROW(buildFrame(0x34, 0, 0, big, kMaxReadData));
  Bytes bigger(kMaxReadData + 1);
  EXPECT_THROW(buildFrame(0x34, 0, 0, bigger, kMaxReadData), std::length_error);
}

TEST(RateCodes, TheNineRatesAndNothingElse) {
  EXPECT_EQ(rateToCode(9600), 0);
  EXPECT_EQ(rateToCode(115200), 4);
  EXPECT_EQ(rateToCode(1200), 5);
  EXPECT_EQ(rateToCode(230400), 8);
  EXPECT_FALSE(rateToCode(14400));
  EXPECT_FALSE(rateToCode(0));
  EXPECT_EQ(codeToRate(1), 19200);
  EXPECT_FALSE(codeToRate(9));
}
