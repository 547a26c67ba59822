// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plenar {

// The candidates nearest to a misspelt `word` (edit distance, letters compared without case),
// closest first, at most `most` of them and none further than a third of the word's length
// (at least 1, at most 3) away. Empty when nothing is that close.
std::vector<std::string> nearestWords(std::string_view word,
                                      const std::vector<std::string>& candidates,
                                      std::size_t most = 3);

// "did you mean `A`?" / "did you mean `A` or `B`?"; empty for no candidates.
std::string didYouMean(const std::vector<std::string>& candidates);

}  // namespace plenar
