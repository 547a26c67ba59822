// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "requests/BuildResult.h"

namespace plenar {

// How the parameter window reads its edit fields. Numbers follow the platform's integer
// conversion: leading blanks, an optional sign, decimal digits, 32-bit signed range.

// nullopt when the text is not a 32-bit decimal number.
std::optional<std::int32_t> parseDecimal(std::string_view text);
// Fields read with a default never fail (sleep time, black-mark values, ...).
std::int32_t decimalOr(std::string_view text, std::int32_t fallback);
// Two-character hexadecimal boxes (MAC): up to eight hex digits, no prefix.
std::optional<std::uint32_t> parseHex(std::string_view text);

// The standard conversion error: '%s' is not a valid integer value.
Refusal conversionError(std::string_view text);
// The dotted-address button check's message.
inline constexpr const char* kBadAddressMessage = "输入的IP有错!";

using AddressBytes = std::array<std::uint8_t, 4>;
using AddressResult = std::variant<AddressBytes, Refusal>;

// Network tab address rows: four parts split at the first three dots, each a decimal number
// within 0..255 ("输入的IP有错!" otherwise), checked in order; a part that is not a number
// (an empty part when a dot is missing) gives the conversion error.
AddressResult parseCheckedAddress(std::string_view text);
// Station-mode addresses: split at every dot; with at least four parts the first four give the
// bytes (low 8 bits, no range check), with fewer the bytes are zero.
AddressResult parseStationAddress(std::string_view text);

// The check made when the user leaves an address field: the platform's dotted-address parser
// (inet_addr) must accept the text. Its failure value is also the result for 255.255.255.255,
// so that text is rejected as well; short, hexadecimal and octal forms pass.
bool dottedAddressAccepted(const std::string& text);

// UTF-8 field text as the printer's GBK bytes, cut to `maxBytes` without splitting a
// double-byte character. Check the text with gbkRefusal first: what GBK lacks becomes '?'.
std::string gbkField(std::string_view utf8, std::size_t maxBytes);
// The refusal of a text field that holds what the printer cannot store: a character outside GBK
// (an emoji, "ä") or bytes that are not UTF-8. The message does not repeat the text (it may be a
// password). nullopt when the text converts exactly.
std::optional<Refusal> gbkRefusal(std::string_view utf8, std::string field);
// A text longer in GBK than the printer's area for it (a Chinese character takes two bytes),
// refused naming `what` and the byte counts, never the text (it may be a password): the printer
// would keep only the first `area` bytes.
std::optional<Refusal> gbkAreaRefusal(std::string_view utf8, std::size_t area, std::string field,
                                      std::string_view what);
// The reason alone, as gbkRefusal words it.
inline constexpr const char* kNotGbkMessage =
    "holds a character the printer cannot store (it takes GBK text: no emoji, no letters such "
    "as ä or ö) or bytes that are not UTF-8";

// Platform Trim: drops blanks and control characters (bytes up to 0x20) at both ends.
std::string_view trimControls(std::string_view text);

}  // namespace plenar
