// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "shared/Errors.h"

namespace plenar {

// A refusal or failure of the batch bench; `code` is the stable key of a --json error.
// `field`: the bench option the refusal is about ("--step", "--state"), for a --json error.
class BatchError : public Error {
 public:
  BatchError(FailureKind kind, const std::string& message, std::string code,
             std::string field = "--name")
      : Error(message, {.kind = kind, .code = std::move(code), .field = std::move(field)}) {}
};

// How serial numbers are handed out: from `first`, `step` apart (negative counts down), written
// in decimal with at least `width` digits (zeros in front). The width comes from the first
// number as typed: "0100" gives 0100, 0101, ...; "100" gives 100, 101, ...
struct BatchNumbering {
  long long first = 0;
  long long step = 1;
  int width = 0;
};
// Parses --serial-from (digits only, at most 18) and --step (not 0, at most 10^9 either way);
// BatchError (refused) otherwise.
BatchNumbering parseNumbering(const std::string& from, long long step);
// Whether a step and width read back from a state file are ones parseNumbering gives: a step
// from -10^9 to 10^9 other than 0, a width of 0 or 2 to 18 digits.
bool numberingInRange(long long step, long long width);
// The serial number text of `number`.
std::string serialText(long long number, int width);
// number + step * count, or nullopt when it leaves 0 .. 10^18 - 1.
std::optional<long long> stepped(long long number, long long step, long long count);

// The apply record of the printer given serial number `serial`, in the bench's record folder:
// "serial-1000.json".
std::string batchRecordName(const std::string& serial);
// The serial number a file of the record folder was named for: the record itself or its lock
// file ("serial-1000.json", "serial-1000.json.lock"); nullopt for any other name.
std::optional<long long> batchRecordNumber(const std::string& fileName);

// A device-name pattern: the text as given, where {n} is the serial number and {n:W} the number
// with at least W digits (zeros in front, W from 1 to 20). "{{" and "}}" are a brace. Any
// other brace is refused, so a mistyped pattern never names a run of printers wrongly.
class NamePattern {
 public:
  // BatchError (refused, "name-pattern") for a malformed pattern.
  static NamePattern parse(const std::string& text);
  std::string format(long long number) const;
  const std::string& text() const { return text_; }

 private:
  struct Piece {
    std::string literal;
    int width = -1;  // >= 0: the number, padded to this width
  };
  std::string text_;
  std::vector<Piece> pieces_;
};

// Why this name and serial number do not fit the printer's device fields (20 GBK bytes each, the
// name not empty, the serial number digits only), or nullopt when they do. Nothing is ever cut
// short to fit.
std::optional<std::string> deviceFieldsRefusal(const std::string& name, const std::string& serial);

}  // namespace plenar
