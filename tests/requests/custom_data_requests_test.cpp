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

TEST(CustomDataRequest, HexDataIsBytePairsWithBlanksBetweenThem) {
  struct Case {
    const char* text;
    Bytes bytes;
  };
  for (const Case& c :
       {Case{"1B40", {0x1B, 0x40}}, Case{"1B 40 1D 56 00", {0x1B, 0x40, 0x1D, 0x56, 0}},
        Case{" 1b\t40\r\n0a ", {0x1B, 0x40, 0x0A}}, Case{"", {}}, Case{"aBcD", {0xAB, 0xCD}}}) {
    EXPECT_EQ(requestOf(buildSendHexData(c.text)).dataStream, c.bytes) << c.text;
  }
  // What the window would have sent as 00 (or as a lone digit) is refused, naming the place.
  struct Refused {
    const char* text;
    const char* said;
  };
  for (const Refused& c :
       {Refused{"ZZ", "'ZZ' at character 1"}, Refused{"1B 4 0", "'4' at character 4"},
        Refused{"1B4", "'4' at character 3"}, Refused{"0x1B", "'0x' at character 1"},
        Refused{"1B\xC3\xA4", "character 3"}, Refused{"+1", "'+1'"}}) {
    const auto result = buildSendHexData(c.text);
    const Refusal* refusal = std::get_if<Refusal>(&result);
    ASSERT_NE(refusal, nullptr) << c.text;
    EXPECT_NE(refusal->message.find(c.said), std::string::npos) << refusal->message;
  }
}

}  // namespace
}  // namespace plenar
