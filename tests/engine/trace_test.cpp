// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "TempDir.h"
#include "engine/TraceList.h"

using namespace plenar;

namespace {
std::vector<std::uint8_t> seq(int n, int start = 0) {
  std::vector<std::uint8_t> v;
  for (int i = 0; i < n; ++i) v.push_back(static_cast<std::uint8_t>(start + i));
  return v;
}
const std::string B4 = "    ";
}  // namespace

TEST(HexDump, FiveBytesMakeOnePaddedLine) {
  std::vector<std::uint8_t> bytes{0x02, 0x00, 0x30, 0x00, 0x41};
  auto lines = hexDump(bytes);
  ASSERT_EQ(lines.size(), 1u);
  std::string expected =
      B4 + "02 00 30 00 41 " + std::string(36, ' ') + B4 + ";" + "  0 A" + std::string(11, ' ');
  EXPECT_EQ(lines[0], expected);
}

TEST(HexDump, FullLinesAndRemainders) {
  // 16 bytes: one full line, no padding line after it.
  auto bytes16 = seq(16, 0x41);  // 'A'..'P'
  auto l16 = hexDump(bytes16);
  ASSERT_EQ(l16.size(), 1u);
  EXPECT_EQ(l16[0], B4 + "41 42 43 44 45 46 47 48    49 4a 4b 4c 4d 4e 4f 50    " + B4 +
                        ";ABCDEFGHIJKLMNOP");

  // 17 bytes: a full line, then one byte padded to the full width.
  auto bytes17 = seq(17, 0x41);
  auto l17 = hexDump(bytes17);
  ASSERT_EQ(l17.size(), 2u);
  EXPECT_EQ(l17[0], l16[0]);
  EXPECT_EQ(l17[1], B4 + "51 " + std::string(3 * 15 + 6, ' ') + B4 + ";Q" + std::string(15, ' '));
  EXPECT_EQ(l17[1].size(), l17[0].size());

  // 32 bytes: two full lines; control bytes and blanks show as blanks.
  auto bytes32 = seq(32, 0x10);
  auto l32 = hexDump(bytes32);
  ASSERT_EQ(l32.size(), 2u);
  EXPECT_EQ(l32[0], B4 + "10 11 12 13 14 15 16 17    18 19 1a 1b 1c 1d 1e 1f    " + B4 + ";" +
                        std::string(16, ' '));
  EXPECT_EQ(l32[1], B4 + "20 21 22 23 24 25 26 27    28 29 2a 2b 2c 2d 2e 2f    " + B4 + ";" +
                        " !\"#$%&'()*+,-./");
  EXPECT_TRUE(hexDump({}).empty());
}

TEST(TraceList, LinesCarryCountAndTimestamp) {
  TraceList trace;
  std::vector<std::uint8_t> bytes{1, 2, 3};
  trace.addSend(bytes);
  trace.addReceive(bytes);
  auto lines = trace.lines();
  ASSERT_EQ(lines.size(), 4u);
  std::regex stamp(R"( \d\d-\d\d-\d\d \d\d:\d\d:\d\d \d\d\d $)");
  EXPECT_EQ(lines[0].rfind("Send 3 Bytes ", 0), 0u);
  EXPECT_TRUE(std::regex_search(lines[0], stamp)) << lines[0];
  EXPECT_EQ(lines[2].rfind("Receive 3 Bytes ", 0), 0u);
  EXPECT_TRUE(std::regex_search(lines[2], stamp));
}

TEST(TraceList, BlocksFromTwoThreadsNeverInterleave) {
  TraceList trace;
  auto worker = [&](std::uint8_t fill, bool send) {
    std::vector<std::uint8_t> block(40, fill);
    for (int i = 0; i < 300; ++i) send ? trace.addSend(block) : trace.addReceive(block);
  };
  std::thread a(worker, 0x41, true);
  std::thread b(worker, 0x42, false);
  a.join();
  b.join();
  auto lines = trace.lines();
  ASSERT_EQ(lines.size(), 600u * 4);  // head + three dump lines per block
  for (size_t i = 0; i < lines.size(); i += 4) {
    char expected = lines[i].rfind("Send", 0) == 0 ? 'A' : 'B';
    for (size_t k = 1; k < 4; ++k) {
      EXPECT_NE(lines[i + k].find(std::string(1, expected) + expected), std::string::npos);
    }
  }
}

TEST(TraceList, SaveReplacesTheWholeFile) {
  TempDir dir;
  TraceList trace;
  trace.addLine("first command");
  ASSERT_TRUE(trace.save(dir.file("debug.log")));
  trace.clear();
  trace.addLine("second command");
  ASSERT_TRUE(trace.save(dir.file("debug.log")));
  EXPECT_EQ(dir.read("debug.log"), "second command\n");
  EXPECT_FALSE(trace.save(dir.file("missing-folder/debug.log")));
}
