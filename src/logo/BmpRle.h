// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace plenar {

// A pixel that the run-length data never set (skipped by a delta, or left when the data ends
// early or announces the end of the bitmap).
inline constexpr std::int16_t kRleUnset = -1;

// Expands BMP run-length data (RLE8, or RLE4 when `fourBits`) into palette indices, width x
// height, in the order the file stores rows: the first row is the bottom one. Runs that go past
// the end of a row are cut there; a delta beyond the image stops at its last column or row;
// data ending without an end-of-bitmap code ends the image. Never reads outside `data`.
std::vector<std::int16_t> expandBmpRle(std::string_view data, int width, int height, bool fourBits);

}  // namespace plenar
