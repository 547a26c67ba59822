// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "PrinterState.h"

namespace plenar::sim {

// The printer's command interpreter for input outside frames: ESC/POS style sequences, the
// vendor's 1F/12/8E settings sequences, NV logo definition and printing, QR symbols, and plain
// text, which is printed a line at a time. Each decoded sequence changes `state` and is reported
// to the sink with its bytes and what it means. A sequence cut off by the end of the input waits
// for the rest.
// Threads: one thread at a time.
class RawDecoder {
 public:
  using Sink = std::function<void(std::span<const std::uint8_t> bytes, const std::string& meaning)>;

  RawDecoder(PrinterState& state, Sink sink);

  void feed(std::span<const std::uint8_t> bytes);
  // True when no sequence is half received (a text line without its end does not count).
  bool idle() const { return pending_.empty(); }
  // Drops a half-received sequence (the line went down, or a frame came in its middle).
  void abandon(const std::string& why);
  // Prints a text line that has no line end yet (the end of a block of user data).
  void flushLine(const std::string& why);

 private:
  // Decodes one item at the start of `b`; returns the bytes it used, 0 when more are needed.
  std::size_t decodeOne(std::span<const std::uint8_t> b);
  std::size_t oneParam(std::span<const std::uint8_t> b, const char* what);
  std::size_t decodeEsc(std::span<const std::uint8_t> b);
  std::size_t decodeFs(std::span<const std::uint8_t> b);
  std::size_t decodeGs(std::span<const std::uint8_t> b);
  std::size_t decodeUnitSeparator(std::span<const std::uint8_t> b);
  std::size_t decodeBlackMark(std::span<const std::uint8_t> b);
  std::size_t decodeEthernetAddress(std::span<const std::uint8_t> b);
  std::size_t decodeNvLogos(std::span<const std::uint8_t> b);
  std::size_t decodeQr(std::span<const std::uint8_t> b, std::span<const std::uint8_t> params);
  std::size_t text(std::span<const std::uint8_t> b);
  void endLine(std::span<const std::uint8_t> terminator);
  void report(std::span<const std::uint8_t> bytes, const std::string& meaning);
  std::string decodeText(std::span<const std::uint8_t> bytes) const;

  PrinterState& state_;
  Sink sink_;
  std::vector<std::uint8_t> pending_;
  std::vector<std::uint8_t> line_;
  bool skipLineFeed_ = false;
  int chineseEncoding_ = 0;  // ESC 9 n: 0 GBK, 3 Big5
  int alignment_ = 0;
  std::vector<std::uint8_t> qrData_;
  int qrModuleSize_ = 3;
  int qrErrorLevel_ = 48;
};

// Printer text (GBK, or Big5 when `big5`) as UTF-8; plain ASCII passes unchanged.
std::string printerTextToUtf8(std::span<const std::uint8_t> bytes, bool big5 = false);

}  // namespace plenar::sim
