// SPDX-License-Identifier: GPL-3.0-or-later
#include "requests/FieldLimits.h"

#include "platform/Gbk.h"
#include "requests/FieldParsing.h"

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
  // Text for the printer: what GBK cannot hold would go out as '?'. The value is not shown: it
  // may be a password, and bytes that are not UTF-8 cannot be printed.
  if (limit.filter == FieldFilter::Any && firstNonGbk(value) != std::string::npos) {
    return std::string(limit.name) + ": " + kNotGbkMessage;
  }
  const bool text = limit.filter == FieldFilter::Any;
  const std::size_t length = text ? utf8ToGbk(value).size() : characterCount(value);
  bool ok = limit.maxChars == 0 || length <= limit.maxChars;
  for (char c : value) ok = ok && accepted(c, limit.filter);
  if (ok) return std::nullopt;
  std::string rule = filterText(limit.filter);
  if (limit.maxChars > 0 && text) {
    rule += "at most " + std::to_string(limit.maxChars) +
            " bytes in GBK, a Chinese character takes two; this is " + std::to_string(length);
  } else if (limit.maxChars > 0) {
    rule += std::string(rule.empty() ? "" : ", ") + "at most " + std::to_string(limit.maxChars) +
            " characters";
  }
  const std::string shown = limit.secret ? "(hidden)" : "'" + value + "'";
  return std::string(limit.name) + ": " + shown + " is refused (" + rule + ")";
}

}  // namespace plenar
