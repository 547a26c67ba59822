// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/FieldParsing.h"

#include <arpa/inet.h>

#include <limits>
#include <vector>

#include "platform/Gbk.h"

namespace plenar {

std::optional<std::int32_t> parseDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::int32_t decimalOr(std::string_view text, std::int32_t fallback) {
  return parseDecimal(text).value_or(fallback);
}

std::optional<std::uint32_t> parseHex(std::string_view text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value << 4 | static_cast<std::uint32_t>(digit);
  }
  return value;
}

Refusal conversionError(std::string_view text) {
  return Refusal{"'" + std::string(text) + "' is not a valid integer value", {}, "not-an-integer"};
}

AddressResult parseCheckedAddress(std::string_view text) {
  AddressBytes bytes{};
  std::string_view rest = text;
  for (int i = 0; i < 4; ++i) {
    std::string_view part;
    if (i < 3) {
      // The text before the first dot; without a dot the part is empty and the rest stays.
      auto dot = rest.find('.');
      if (dot == std::string_view::npos) {
        part = {};
      } else {
        part = rest.substr(0, dot);
        rest.remove_prefix(dot + 1);
      }
    } else {
      part = rest;
    }
    auto value = parseDecimal(part);
    if (!value) return conversionError(part);
    if (*value < 0 || *value > 255) return Refusal{kBadAddressMessage, {}, "address-invalid"};
    bytes[i] = static_cast<std::uint8_t>(*value);
  }
  return bytes;
}

AddressResult parseStationAddress(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    auto dot = text.find('.', start);
    parts.push_back(text.substr(start, dot == std::string_view::npos ? dot : dot - start));
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  AddressBytes bytes{};
  if (parts.size() < 4) return bytes;
  for (int i = 0; i < 4; ++i) {
    auto value = parseDecimal(parts[i]);
    if (!value) return conversionError(parts[i]);
    bytes[i] = static_cast<std::uint8_t>(*value & 0xFF);
  }
  return bytes;
}

bool dottedAddressAccepted(const std::string& text) {
  return ::inet_addr(text.c_str()) != INADDR_NONE;
}

std::string gbkField(std::string_view utf8, std::size_t maxBytes) {
  return std::string(gbkPrefix(utf8ToGbk(utf8), maxBytes));
}

std::optional<Refusal> gbkRefusal(std::string_view utf8, std::string field) {
  if (firstNonGbk(utf8) == std::string_view::npos) return std::nullopt;
  return Refusal{std::string("The text ") + kNotGbkMessage, std::move(field), "not-gbk"};
}

std::optional<Refusal> gbkAreaRefusal(std::string_view utf8, std::size_t area, std::string field,
                                      std::string_view what) {
  const std::size_t bytes = utf8ToGbk(utf8).size();
  if (bytes <= area) return std::nullopt;
  return Refusal{std::string(what) + " is " + std::to_string(bytes) +
                     " bytes in GBK; the printer keeps at most " + std::to_string(area) +
                     " (a Chinese character takes two)",
                 std::move(field), "too-long"};
}

std::string_view trimControls(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
  return text;
}

}  // namespace plenar
