// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace plenar::man {

// Text as roff reads it literally: backslashes and hyphens escaped, a leading dot or quote
// guarded, and every character beyond ASCII as its \[uXXXX] name, so that the page needs no
// input encoding.
std::string roff(const std::string& text);

// A roff line starting with `request` (".TP", ".B") and the text; the text in quotes where the
// request takes one argument.
std::string quoted(const std::string& text);

// `page` with a stand-in ("?") for each \[uXXXX] character a device lacks (ASCII terminals,
// PostScript without CJK fonts), so that every device renders it without a warning.
std::string withFallbacks(const std::string& page);

}  // namespace plenar::man
