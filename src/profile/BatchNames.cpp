// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/BatchNames.h"

#include <cstdio>
#include <string_view>

#include "platform/Gbk.h"

namespace plenar {
namespace {

constexpr long long kNumberLimit = 1000000000000000000LL;  // 10^18: 18 digits
constexpr long long kStepLimit = 1000000000LL;
constexpr std::size_t kDeviceFieldBytes = 20;

BatchError refused(const std::string& message, const char* code, const char* field = "--name") {
  return BatchError(FailureKind::Refused, message, code, field);
}

}  // namespace

BatchNumbering parseNumbering(const std::string& from, long long step) {
  if (from.empty() || from.size() > 18 ||
      from.find_first_not_of("0123456789") != std::string::npos) {
    throw refused("--serial-from takes a number of 1 to 18 digits, not '" + from + "'",
                  "serial-from", "--serial-from");
  }
  if (step == 0 || step > kStepLimit || step < -kStepLimit) {
    throw refused("--step takes a number from -1000000000 to 1000000000 other than 0", "step",
                  "--step");
  }
  BatchNumbering n;
  n.first = std::stoll(from);
  n.step = step;
  n.width = from.size() > 1 && from[0] == '0' ? static_cast<int>(from.size()) : 0;
  return n;
}

bool numberingInRange(long long step, long long width) {
  return step != 0 && step <= kStepLimit && step >= -kStepLimit &&
         (width == 0 || (width >= 2 && width <= 18));
}

std::string serialText(long long number, int width) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%0*lld", width, number);
  return buf;
}

std::optional<long long> stepped(long long number, long long step, long long count) {
  long long delta = 0, out = 0;
  if (__builtin_mul_overflow(step, count, &delta) || __builtin_add_overflow(number, delta, &out))
    return std::nullopt;
  if (out < 0 || out >= kNumberLimit) return std::nullopt;
  return out;
}

std::string batchRecordName(const std::string& serial) {
  return "serial-" + serial + ".json";
}

std::optional<long long> batchRecordNumber(const std::string& fileName) {
  constexpr std::string_view kHead = "serial-";
  std::string_view name = fileName;
  if (!name.starts_with(kHead)) return std::nullopt;
  name.remove_prefix(kHead.size());
  for (std::string_view tail : {".json", ".json.lock"}) {
    if (!name.ends_with(tail)) continue;
    const std::string_view digits = name.substr(0, name.size() - tail.size());
    if (digits.empty() || digits.size() > 18 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
      return std::nullopt;
    }
    return std::stoll(std::string(digits));
  }
  return std::nullopt;
}

NamePattern NamePattern::parse(const std::string& text) {
  NamePattern p;
  p.text_ = text;
  Piece literal;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if ((c == '{' || c == '}') && i + 1 < text.size() && text[i + 1] == c) {
      literal.literal += c;
      ++i;
      continue;
    }
    if (c == '}') throw refused("--name: a lone '}' (write '}}' for a brace)", "name-pattern");
    if (c != '{') {
      literal.literal += c;
      continue;
    }
    const std::size_t close = text.find('}', i);
    const std::string field = close == std::string::npos ? "" : text.substr(i + 1, close - i - 1);
    int width = 0;
    if (field.rfind("n:", 0) == 0 && field.size() >= 3 && field.size() <= 4 &&
        field.find_first_not_of("0123456789", 2) == std::string::npos) {
      width = std::stoi(field.substr(2));
    } else if (field != "n") {
      width = -1;
    }
    if (width < 0 || width > 20 || (field != "n" && width == 0)) {
      throw refused("--name: '" + text.substr(i, close == std::string::npos ? 1 : close - i + 1) +
                        "' is not {n} or {n:W} with W from 1 to 20 (write '{{' for a brace)",
                    "name-pattern");
    }
    if (!literal.literal.empty()) p.pieces_.push_back(std::move(literal));
    literal = {};
    p.pieces_.push_back({{}, width});
    i = close;
  }
  if (!literal.literal.empty()) p.pieces_.push_back(std::move(literal));
  return p;
}

std::string NamePattern::format(long long number) const {
  std::string out;
  for (const Piece& piece : pieces_) {
    out += piece.width < 0 ? piece.literal : serialText(number, piece.width);
  }
  return out;
}

std::optional<std::string> deviceFieldsRefusal(const std::string& name, const std::string& serial) {
  if (name.empty()) return std::string("the device name is empty");
  if (firstNonGbk(name) != std::string::npos) {
    return "the device name '" + name + "' holds a character the printer cannot store (GBK)";
  }
  if (const std::size_t bytes = utf8ToGbk(name).size(); bytes > kDeviceFieldBytes) {
    return "the device name '" + name + "' takes " + std::to_string(bytes) +
           " bytes; the printer's field holds " + std::to_string(kDeviceFieldBytes);
  }
  if (serial.empty() || serial.find_first_not_of("0123456789") != std::string::npos) {
    return "the serial number '" + serial + "' is not digits only";
  }
  if (serial.size() > kDeviceFieldBytes) {
    return "the serial number " + serial + " has more than " + std::to_string(kDeviceFieldBytes) +
           " digits";
  }
  return std::nullopt;
}

}  // namespace plenar
