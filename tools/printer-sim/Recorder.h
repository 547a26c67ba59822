// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace plenar::sim {

// One thing the printer received (a frame, a datagram, a decoded sequence, line noise), with
// what it means and what the printer answered.
struct Record {
  std::string link;  // "serial" or "udp"
  int rate = 0;      // serial rate at which it arrived; 0 on the network
  std::string kind;  // "frame", "bad-frame", "sequence", "datagram", "noise", "boot", "event"
  std::optional<int> command;
  std::uint32_t value1 = 0;
  std::uint32_t value2 = 0;
  std::vector<std::uint8_t> data;  // frame data, or the bytes of a sequence or datagram
  std::string meaning;
  std::optional<std::vector<std::uint8_t>> reply;  // the printer's answer, when it gave one
  std::string peer;                                // sender of a datagram
};

// Writes records as JSON, one object per line, each line flushed as it is written, so a test
// can read the file while the simulator runs. Without a file nothing is written; `capture`
// keeps the records in memory as well (for tests of the printer model).
// Threads: one thread at a time.
class Recorder {
 public:
  static constexpr std::size_t kMaxDataInRecord = 8192;

  Recorder() = default;
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Opens (truncates) `path`; false when it cannot be created.
  bool open(const std::string& path);
  void setCapture(bool on) { capture_ = on; }
  void write(const Record& r);
  const std::vector<Record>& captured() const { return captured_; }
  void clearCaptured() { captured_.clear(); }

 private:
  std::FILE* file_ = nullptr;
  bool capture_ = false;
  std::vector<Record> captured_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace plenar::sim
