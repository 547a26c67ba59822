// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

#include "requests/BuildResult.h"

namespace plenar {

// Tab 7 "黑标": black-mark mode and distances, finding the mark, and the test page.
// The edit hints (400..4000, 40..120, 0..1700) are advice only: any number is sent, low 16 bits;
// a text that is no number gives the field's default.

// Code 31 (on) or 32 (off).
BuildResult buildBlackMarkMode(bool on);
// Code 33: search distance in mm, big-endian; default 400.
BuildResult buildBlackMarkDistance(const std::string& text);
// Code 34: mark width in mm, big-endian; default 40.
BuildResult buildBlackMarkWidth(const std::string& text);
// Code 35: feed before the cut in mm, little-endian (unlike the two above); default 40.
BuildResult buildCutterFeed(const std::string& text);
// Code 36 (find the mark) or 44 (find the mark and cut).
BuildResult buildFindBlackMark(bool cut);

// Code 45: the 235-byte black-mark test page, sent raw.
inline constexpr std::size_t kTestPageSize = 235;
BuildResult buildTestPage();

}  // namespace plenar
