// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/FieldLimits.h"

namespace plenar {

namespace {

// Characters as the edit counts them: UTF-8 sequences, each one character.
std::size_t characterCount(const std::string& text) {
  std::size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

bool accepted(char c, FieldFilter filter) {
  switch (filter) {
    case FieldFilter::Any:
      return true;
    case FieldFilter::Digits:
      return c >= '0' && c <= '9';
    case FieldFilter::Dotted:
      return (c >= '0' && c <= '9') || c == '.';
  }
  return false;
}

const char* filterText(FieldFilter filter) {
  switch (filter) {
    case FieldFilter::Any:
      return "";
    case FieldFilter::Digits:
      return "digits only";
    case FieldFilter::Dotted:
      return "digits and dots only";
  }
  return "";
}

}  // namespace

std::optional<std::string> fieldLimitRefusal(const std::string& value, const FieldLimit& limit) {
  bool ok = limit.maxChars == 0 || characterCount(value) <= limit.maxChars;
  for (char c : value) ok = ok && accepted(c, limit.filter);
  if (ok) return std::nullopt;
  std::string rule = filterText(limit.filter);
  if (limit.maxChars > 0) {
    rule += std::string(rule.empty() ? "" : ", ") + "at most " + std::to_string(limit.maxChars) +
            " characters";
  }
  const std::string shown = limit.secret ? "(hidden)" : "'" + value + "'";
  return std::string(limit.name) + ": " + shown + " is refused (" + rule + ")";
}

}  // namespace plenar
