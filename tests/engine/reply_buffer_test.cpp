// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ReplyBuffer.h"

#include <gtest/gtest.h>

#include "shared/Frame.h"

using namespace plenar;
using Bytes = std::vector<std::uint8_t>;

// The assembler runs on the owner thread while the worker waits; here the test thread plays
// both (no command runs, so nothing races).
class ReplyAssembler : public ::testing::Test {
 protected:
  void feed(const Bytes& b) { reply.assemble(b); }
  bool complete() { return reply.complete(); }
  void resetExchange() { reply.reset(); }
  std::uint8_t dataByte(std::size_t i) {
    Bytes data(ReplyBuffer::kSize);
    reply.copyData(data);
    return data[i];
  }
  ReplyBuffer reply;
};

TEST_F(ReplyAssembler, LeadingNoiseIsDroppedUntilTheStartByte) {
  Bytes frame = buildFrame(0x30, 0, 0, Bytes{'A', 'B', 'C', 'D'});
  Bytes stream{0x55, 0x00, 0xFF};
  stream.insert(stream.end(), frame.begin(), frame.end());
  feed(stream);
  ASSERT_TRUE(complete());
  EXPECT_EQ(reply.length(), 4);
  EXPECT_EQ(dataByte(0), 'A');
}

TEST_F(ReplyAssembler, AReplySplitAcrossBlocksCompletesWithTheLastBlock) {
  Bytes frame = buildFrame(0x80, 0, 0, {});
  feed(Bytes(frame.begin(), frame.begin() + 10));
  EXPECT_FALSE(complete());
  feed(Bytes(frame.begin() + 10, frame.end()));
  EXPECT_TRUE(complete());
  EXPECT_EQ(reply.length(), 0);

  resetExchange();
  Bytes data = buildFrame(0x34, 0, 0, Bytes(300, 0x11));
  for (std::size_t i = 0; i < data.size(); i += 7) {
    EXPECT_FALSE(complete());
    feed(Bytes(data.begin() + i, data.begin() + std::min(i + 7, data.size())));
  }
  EXPECT_TRUE(complete());
  EXPECT_EQ(reply.length(), 300);
}

TEST_F(ReplyAssembler, BadChecksDiscardTheFrameAndTheNextStartByteBeginsAgain) {
  Bytes bad = buildFrame(0x30, 0, 0, Bytes{1, 2, 3, 4});
  bad.back() ^= 0x01;  // wrong data check
  feed(bad);
  EXPECT_FALSE(complete());
  EXPECT_EQ(reply.position(), 0);

  Bytes badHeader = buildFrame(0x80, 0, 0, {});
  badHeader[15] = 0x01;
  feed(badHeader);
  EXPECT_FALSE(complete());

  feed(buildFrame(0x30, 0, 0, Bytes{9, 9}));
  EXPECT_TRUE(complete());
  EXPECT_EQ(reply.length(), 2);
}

TEST_F(ReplyAssembler, EndlessGarbageStaysInsideTheBuffer) {
  // A start byte followed by a header announcing more than the buffer holds, then noise: the
  // position wraps at the buffer's end and nothing is written past it.
  Bytes header = buildFrame(0x34, 0, 0, {});
  header[12] = 0xFF;
  header[13] = 0xFF;
  header[14] = xorOf(std::span(header).first(14));
  feed(header);
  Bytes noise(10000, 0x02);
  feed(noise);
  EXPECT_FALSE(complete());
  EXPECT_LE(reply.position(), 4096);
}

TEST_F(ReplyAssembler, ArbitraryBytesNeverEscapeTheBufferOrAnnounceTooMuch) {
  // Random blocks of random bytes, biased towards start bytes and small lengths so that frames
  // do get assembled; whatever arrives, the reply stays inside the 4096-byte buffer.
  std::uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 24;
  };
  for (int round = 0; round < 2000; ++round) {
    Bytes block(1 + next() % 64);
    for (auto& b : block) b = next() % 4 == 0 ? 0x02 : static_cast<std::uint8_t>(next());
    if (round % 50 == 0) block = buildFrame(0x30, 0, 0, Bytes(next() % 40, 0x33));
    feed(block);
    ASSERT_LE(reply.position(), 4096);
    if (complete()) {
      ASSERT_LE(reply.length(), 4096 - 17);
      resetExchange();
    }
  }
}

TEST_F(ReplyAssembler, ACompleteReplyKeepsItsHeaderWhateverFollowsIt) {
  // An ack carries no data; the bytes after it (a late block, line noise) must not wrap the
  // position over the header the worker is about to read. Checked for both reply shapes.
  for (const Bytes& first : {buildFrame(0x80, 0, 0, {}), buildFrame(0x30, 0, 0, Bytes{7, 7})}) {
    resetExchange();
    feed(first);
    ASSERT_TRUE(complete());
    const auto header = reply.header();
    const int position = reply.position();
    feed(Bytes(5 * 1024, 0x02));
    EXPECT_EQ(reply.header(), header);
    EXPECT_EQ(reply.position(), position);
    EXPECT_EQ(reply.length(), first.size() > 17 ? 2 : 0);
  }
}
