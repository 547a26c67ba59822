// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plenar {

// Text inside the program is UTF-8; files and the printer speak GBK. Conversion is done at those
// boundaries only. Decoding uses GB18030 (a superset of GBK), so every GBK file reads correctly.
// Threads: all functions are reentrant.

// GBK bytes -> UTF-8. Bytes that do not decode become U+FFFD; never throws.
std::string gbkToUtf8(std::string_view gbk);
// UTF-8 -> GBK bytes. Characters GBK lacks become '?'; invalid UTF-8 bytes too.
std::string utf8ToGbk(std::string_view utf8);
// The byte offset in `utf8` of the first character GBK lacks (an emoji, "ä"), or of the first
// byte that is not UTF-8; npos when the whole text converts to GBK exactly, so that
// utf8ToGbk(utf8) loses nothing.
std::size_t firstNonGbk(std::string_view utf8);
// The longest prefix of `gbk` of at most `maxBytes` bytes that does not split a double-byte
// character (GBK lead bytes are 0x81..0xFE).
std::string_view gbkPrefix(std::string_view gbk, std::size_t maxBytes);

}  // namespace plenar
