// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <future>
#include <vector>

namespace plenar::test {

// Runs `run(0)` .. `run(count - 1)` a few at a time (`atOnce`), for runs that mostly wait (a
// program waiting out a reply time): the results in order. A few only, since a sanitizer's
// process is large.
template <class Result>
std::vector<Result> sideBySide(std::size_t count, std::size_t atOnce,
                               const std::function<Result(std::size_t)>& run) {
  std::vector<Result> results(count);
  for (std::size_t first = 0; first < count; first += atOnce) {
    std::vector<std::future<Result>> wave;
    for (std::size_t k = first; k < std::min(count, first + atOnce); ++k) {
      wave.push_back(std::async(std::launch::async, run, k));
    }
    for (std::size_t k = 0; k < wave.size(); ++k) results[first + k] = wave[k].get();
  }
  return results;
}

}  // namespace plenar::test
