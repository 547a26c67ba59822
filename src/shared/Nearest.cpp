// SPDX-License-Identifier: GPL-3.0-or-later
#include "shared/Nearest.h"

#include <algorithm>
#include <cctype>

namespace plenar {
namespace {

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
    for (std::size_t j = from; j <= to; ++j) {
      const std::size_t above = row[j];
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1), over});
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
  for (const std::string& c : candidates) {
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
