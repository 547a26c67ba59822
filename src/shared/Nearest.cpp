// SPDX-License-Identifier: GPL-3.0-or-later
#include "shared/Nearest.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace plenar {
namespace {

// ASCII case only: keys and choice words are ASCII, and a byte of a multi-byte character never
// matches another's by case.
constexpr unsigned char folded(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

// The bytes a word holds, folded to 64 kinds (a byte's kind is its folded value mod 64, so
// letters and digits have kinds of their own). A kind in one word and not in the other takes at
// least one edit, so the kinds only one side holds give a bound below the edit distance that
// costs one pass over each word.
std::uint64_t kindsOf(std::string_view word) {
  std::uint64_t kinds = 0;
  for (char c : word) kinds |= std::uint64_t{1} << (folded(c) % 64);
  return kinds;
}

std::size_t distanceAtLeast(std::uint64_t a, std::uint64_t b) {
  return static_cast<std::size_t>(std::max(std::popcount(a & ~b), std::popcount(b & ~a)));
}

// The edit distance of `a` and `b` when it is at most `limit`, else limit + 1. Only the cells
// within `limit` of the diagonal can lie on a path that short, and the walk ends at the first row
// whose cells all exceed it: a misspelt key is compared with every known key, and most differ
// within a few letters.
std::size_t distanceWithin(std::string_view a, std::string_view b, std::size_t limit,
                           std::vector<std::size_t>& row) {
  const std::size_t over = limit + 1;
  if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > limit) return over;
  row.assign(b.size() + 1, over);
  for (std::size_t j = 0; j <= std::min(b.size(), limit); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    const std::size_t from = i > limit ? i - limit : 1;
    const std::size_t to = std::min(b.size(), i + limit);
    std::size_t diagonal = row[from - 1];
    row[from - 1] = from == 1 ? std::min(i, over) : over;
    std::size_t best = row[from - 1];
    const unsigned char letter = folded(a[i - 1]);
    for (std::size_t j = from; j <= to; ++j) {
      const std::size_t above = row[j];
      const std::size_t replace = diagonal + (letter == folded(b[j - 1]) ? 0 : 1);
      row[j] = std::min(std::min(above, row[j - 1]) + 1, std::min(replace, over));
      diagonal = above;
      best = std::min(best, row[j]);
    }
    if (best > limit) return over;
  }
  return row[b.size()];
}

}  // namespace

std::vector<std::string> nearestWords(std::string_view word,
                                      const std::vector<std::string>& candidates,
                                      std::size_t most) {
  const std::size_t limit = std::clamp<std::size_t>(word.size() / 3, 1, 3);
  std::vector<std::pair<std::size_t, std::string>> scored;
  std::vector<std::size_t> row;
  const std::uint64_t kinds = kindsOf(word);
  for (const std::string& c : candidates) {
    if (distanceAtLeast(kinds, kindsOf(c)) > limit) continue;
    if (std::size_t d = distanceWithin(word, c, limit, row); d <= limit) scored.emplace_back(d, c);
  }
  std::stable_sort(scored.begin(), scored.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<std::string> out;
  for (const auto& [d, c] : scored) {
    if (out.size() == most) break;
    if (std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
  }
  return out;
}

std::string didYouMean(const std::vector<std::string>& candidates) {
  if (candidates.empty()) return {};
  std::string text = "did you mean ";
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (i > 0) text += i + 1 == candidates.size() ? " or " : ", ";
    text += "`" + candidates[i] + "`";
  }
  return text + "?";
}

}  // namespace plenar
