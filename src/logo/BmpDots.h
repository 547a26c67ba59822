// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "logo/BmpHeader.h"

namespace plenar {

// The printer's dots of a BMP whose headers `header` describes (readBmpHeader of the same
// `file`): width x height values, row by row from the top, 1 where the printer prints.
//
// A pixel prints when it is dark. In a 1-bit image that is a palette colour of pure black (the
// image keeps its own two colours; dark grey does not print). At every other depth the colour's
// grey value, (11 R + 16 G + 5 B) / 32 in whole numbers, is below 128; channels of other widths
// than 8 bits (16-bit pixels, masks) are scaled to 8 bits first. A palette index beyond
// the palette, and a pixel the run-length data leaves unset, do not print.
std::vector<std::uint8_t> bmpDots(std::string_view file, const BmpHeader& header);

}  // namespace plenar
