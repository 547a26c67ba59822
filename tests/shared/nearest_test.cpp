// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>

#include "shared/Nearest.h"

using namespace plenar;

namespace {

// The whole table, without the band and the early end of the program's walk.
std::size_t fullDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (same ? 0 : 1)});
    }
  }
  return d[a.size()][b.size()];
}

}  // namespace

TEST(Nearest, SameWordsAsTheWholeTable) {
  const std::vector<std::string> keys = {"BaudRate", "Flowcontrol", "NetIPAddress",   "Dark",
                                         "CodePage", "SSID",        "BlueToolthName", "StaModePsw",
                                         "IpType",   "a",           "PaperSizeType"};
  std::mt19937 random(32);
  const std::string letters = "abdeilmnoprstxABDP";
  for (int n = 0; n < 3000; ++n) {
    std::string word = keys[random() % keys.size()];
    for (int edits = static_cast<int>(random() % 5); edits > 0; --edits) {
      const std::size_t at = random() % (word.size() + 1);
      const char c = letters[random() % letters.size()];
      switch (random() % 3) {
        case 0:
          word.insert(word.begin() + at, c);
          break;
        case 1:
          if (at < word.size()) word.erase(at, 1);
          break;
        default:
          if (at < word.size()) word[at] = c;
      }
    }
    const std::size_t limit = std::clamp<std::size_t>(word.size() / 3, 1, 3);
    std::vector<std::pair<std::size_t, std::string>> scored;
    for (const std::string& k : keys) {
      if (std::size_t d = fullDistance(word, k); d <= limit) scored.emplace_back(d, k);
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < scored.size() && i < 3; ++i) expected.push_back(scored[i].second);
    EXPECT_EQ(nearestWords(word, keys), expected) << word;
  }
}
