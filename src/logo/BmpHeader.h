// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plenar {

// Qt's BMP decoder accepts a file that ends before its pixel rows and fills the missing rows
// with colour 0, which is black in most palettes: the printer would store a black block. This
// checks the headers against the file's length before decoding.
//
// Returns the reason when the file is too short for the pixel data its headers announce;
// nullopt when it is long enough, or when the headers are not ones this check knows (the
// decoder then judges the file itself). Never reads outside `file`.
std::optional<std::string> bmpTruncation(std::string_view file);

}  // namespace plenar
