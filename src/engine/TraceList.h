// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plenar {

// The trace of the current command: "Send %d Bytes" / "Receive %d Bytes" / "Open..." / "Close..."
// lines with a time stamp, each Send and Receive followed by the hex dump of its bytes.
// Threads: appended from the worker and from the receive handlers on the UI thread; a line and
// its dump are appended under one lock, so two blocks never interleave.
class TraceList {
 public:
  // Empties the trace for the next command; `secrets` (its passwords as they go out) are shown
  // masked in every dump until the next clear.
  void clear(std::vector<std::string> secrets = {});
  void addLine(std::string line);
  // "Send %d Bytes" + T, then the dump.
  void addSend(std::span<const std::uint8_t> bytes);
  // "Receive %d Bytes" + T, then the dump.
  void addReceive(std::span<const std::uint8_t> bytes);
  std::vector<std::string> lines() const;
  // The bytes sent and received since the last clear.
  long long bytesSent() const;
  long long bytesReceived() const;
  // Replaces `path` (0600, never through a symlink) with one line per trace line. False when it
  // cannot be written.
  bool save(const std::string& path) const;

 private:
  void addBlock(const char* verb, std::span<const std::uint8_t> bytes);

  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<std::string> secrets_;
  long long sent_ = 0;
  long long received_ = 0;
};

// " yy-mm-dd hh:nn:ss zzz " in local time, one blank before and after.
std::string traceTimestamp(
    std::chrono::system_clock::time_point when = std::chrono::system_clock::now());
// The hex dump lines of a block (none for an empty block); the bytes of `secrets` show as "**"
// in the hex columns and '*' in the text column.
std::vector<std::string> hexDump(std::span<const std::uint8_t> bytes,
                                 const std::vector<std::string>& secrets = {});

}  // namespace plenar
