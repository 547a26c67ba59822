// SPDX-License-Identifier: GPL-3.0-or-later
#include "shared/Nearest.h"

#include <algorithm>
#include <cctype>
#include <numeric>

namespace plenar {
namespace {

std::size_t distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                        std::tolower(static_cast<unsigned char>(b[j - 1]));
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::vector<std::string> nearestWords(std::string_view word,
                                      const std::vector<std::string>& candidates,
                                      std::size_t most) {
  const std::size_t limit = std::clamp<std::size_t>(word.size() / 3, 1, 3);
  std::vector<std::pair<std::size_t, std::string>> scored;
  for (const std::string& c : candidates) {
    // Words far apart in length cannot be close: skip the table for them.
    const std::size_t gap =
        c.size() > word.size() ? c.size() - word.size() : word.size() - c.size();
    if (gap > limit) continue;
    if (std::size_t d = distance(word, c); d <= limit) scored.emplace_back(d, c);
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
