// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "channels/SerialInputFilter.h"

namespace plenar {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Runs the pieces through one filter, as consecutive reads, and joins the output.
Bytes run(SerialInputFilter& filter, const std::vector<Bytes>& reads,
          const SerialInputFilter::Options& options) {
  Bytes all;
  for (const auto& in : reads) {
    Bytes out(in.size() + 1, 0xEE);
    const std::size_t n = filter.filter(in.data(), in.size(), out.data(), options);
    EXPECT_LE(n, in.size() + 1);
    all.insert(all.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
  }
  return all;
}

TEST(SerialInputFilterTest, ParityMarksAreDecoded) {
  SerialInputFilter filter;
  SerialInputFilter::Options marks{.parityMarks = true};
  // FF FF = data FF; FF 00 41 = 'A' with an error; FF 00 00 = break.
  EXPECT_EQ(run(filter, {{0x10, 0xFF, 0xFF, 0xFF, 0x00, 0x41, 0xFF, 0x00, 0x00, 0x20}}, marks),
            (Bytes{0x10, 0xFF, 0x41, 0x00, 0x20}));

  SerialInputFilter::Options replace{
      .parityMarks = true, .replaceErrors = true, .replacedChar = '?'};
  EXPECT_EQ(run(filter, {{0xFF, 0x00, 0x41, 0x42}}, replace), (Bytes{'?', 0x42}));
}

TEST(SerialInputFilterTest, MarksSplitAcrossReadsAreHeldBack) {
  SerialInputFilter filter;
  SerialInputFilter::Options marks{.parityMarks = true, .replaceErrors = true, .replacedChar = '#'};
  EXPECT_EQ(run(filter, {{0x01, 0xFF}, {0xFF, 0x02, 0xFF}, {0x00}, {0x41}}, marks),
            (Bytes{0x01, 0xFF, 0x02, '#'}));
  // A held-back FF followed by a plain byte (bytes queued before marking was on) is kept.
  EXPECT_EQ(run(filter, {{0xFF}, {0x33}}, marks), (Bytes{0xFF, 0x33}));
  EXPECT_FALSE(filter.holding());
  run(filter, {{0xFF}}, marks);
  EXPECT_TRUE(filter.holding());
  filter.reset();
  EXPECT_EQ(run(filter, {{0x33}}, marks), (Bytes{0x33}));
}

TEST(SerialInputFilterTest, NulBytesAreDroppedOnlyWhenAsked) {
  SerialInputFilter filter;
  EXPECT_EQ(run(filter, {{0x00, 0xFF, 0x00, 0x01}}, {}), (Bytes{0x00, 0xFF, 0x00, 0x01}));
  EXPECT_EQ(run(filter, {{0x00, 0xFF, 0x00, 0x01}}, {.dropNul = true}), (Bytes{0xFF, 0x01}));
  // With marks, a break (and an error byte 00) is a 00 byte, and dropped like one.
  EXPECT_EQ(run(filter, {{0xFF, 0x00, 0x00, 0x07}}, {.parityMarks = true, .dropNul = true}),
            (Bytes{0x07}));
}

// Arbitrary bytes from the line in arbitrary read sizes: the output never outgrows the room the
// reader reserves, and without marks or NUL dropping the bytes pass unchanged.
TEST(SerialInputFilterTest, ArbitraryInputStaysWithinBounds) {
  std::mt19937 random(12345);
  for (int round = 0; round < 300; ++round) {
    SerialInputFilter::Options options{.parityMarks = (round & 1) != 0,
                                       .replaceErrors = (round & 2) != 0,
                                       .replacedChar = static_cast<std::uint8_t>(round),
                                       .dropNul = (round & 4) != 0};
    SerialInputFilter filter;
    Bytes input(random() % 600);
    for (auto& b : input) b = (random() % 3 == 0) ? (random() % 2 ? 0xFF : 0x00) : random() % 256;
    std::vector<Bytes> reads;
    for (std::size_t pos = 0; pos < input.size();) {
      const std::size_t n = std::min<std::size_t>(input.size() - pos, 1 + random() % 40);
      reads.emplace_back(input.begin() + static_cast<std::ptrdiff_t>(pos),
                         input.begin() + static_cast<std::ptrdiff_t>(pos + n));
      pos += n;
    }
    const Bytes out = run(filter, reads, options);
    EXPECT_LE(out.size(), input.size());
    if (!options.active()) {
      EXPECT_EQ(out, input);
    }
  }
}

}  // namespace
}  // namespace plenar
