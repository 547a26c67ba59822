// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "RequestMatchers.h"
#include "requests/CustomDataRequests.h"

namespace plenar {
namespace {

using testing::Bytes;
using testing::requestOf;

TEST(CustomDataRequest, HexModeJoinsTrimmedLinesIntoPairs) {
  CommandRequest r = requestOf(buildSendCustomData({"1B40", " 0A "}, true));
  EXPECT_EQ(r.code, 49);
  EXPECT_EQ(r.dataStream, (Bytes{0x1B, 0x40, 0x0A}));
  EXPECT_TRUE(r.paraBuf.empty());
  // An inner blank stays in the text: pairs 1B, " 4", "0".
  EXPECT_EQ(requestOf(buildSendCustomData({"1B 40"}, true)).dataStream, (Bytes{0x1B, 0, 0}));
  // A last single character is read alone.
  EXPECT_EQ(requestOf(buildSendCustomData({"abc"}, true)).dataStream, (Bytes{0xAB, 0x0C}));
  EXPECT_EQ(requestOf(buildSendCustomData({"\t1b\r", "zz"}, true)).dataStream, (Bytes{0x1B, 0}));
}

TEST(CustomDataRequest, TextModeSendsGbkWithoutLineBreaks) {
  EXPECT_EQ(requestOf(buildSendCustomData({"AB", "CD"}, false)).dataStream,
            (Bytes{0x41, 0x42, 0x43, 0x44}));
  EXPECT_EQ(requestOf(buildSendCustomData({"打印"}, false)).dataStream,
            (Bytes{0xB4, 0xF2, 0xD3, 0xA1}));
}

TEST(CustomDataRequest, EmptyMemoStillSendsAnEmptyStream) {
  CommandRequest r = requestOf(buildSendCustomData({}, true));
  EXPECT_EQ(r.code, 49);
  EXPECT_TRUE(r.dataStream.empty());
  EXPECT_TRUE(requestOf(buildSendCustomData({"  ", ""}, false)).dataStream.empty());
}

TEST(CustomDataRequest, LongDataIsKeptWhole) {
  std::vector<std::string> lines(50, std::string(200, 'F'));
  EXPECT_EQ(requestOf(buildSendCustomData(lines, true)).dataStream.size(), 5000u);
}

}  // namespace
}  // namespace plenar
