// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TraceList.h"

#include <cstdio>
#include <ctime>

#include "platform/IniFile.h"
#include "platform/SafeFiles.h"
#include "shared/SecretMask.h"

namespace plenar {

std::string traceTimestamp(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  std::time_t t = system_clock::to_time_t(when);
  auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count() % 1000;
  if (ms < 0) ms += 1000;
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[40];
  std::snprintf(buf, sizeof buf, " %02d-%02d-%02d %02d:%02d:%02d %03d ", tm.tm_year % 100,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
  return buf;
}

std::vector<std::string> hexDump(std::span<const std::uint8_t> bytes,
                                 const std::vector<std::string>& secrets) {
  const std::vector<bool> masked = secretPositions(bytes, secrets);
  std::vector<std::string> out;
  const std::string hexStart = "    ";
  const std::string charStart = "    ;";
  std::string hex = hexStart;
  std::string chars = charStart;
  const size_t n = bytes.size();
  for (size_t i = 0; i < n; ++i) {
    char h[4];
    std::snprintf(h, sizeof h, "%2.2x ", bytes[i]);
    hex += masked[i] ? "** " : h;
    chars += masked[i] ? '*' : bytes[i] <= 32 ? ' ' : static_cast<char>(bytes[i]);
    if (i % 8 == 7) hex += "   ";
    if (i % 16 == 15) {
      out.push_back(hex + chars);
      hex = hexStart;
      chars = charStart;
    }
  }
  size_t p = (16 - n % 16) % 16;
  for (size_t k = p; k >= 1; --k) {
    hex += "   ";
    chars += ' ';
    if (k % 8 == 7) hex += "   ";
  }
  if (n % 16 != 0) out.push_back(hex + chars);
  return out;
}

void TraceList::clear(std::vector<std::string> secrets) {
  std::lock_guard lock(mutex_);
  lines_.clear();
  secrets_ = std::move(secrets);
  sent_ = 0;
  received_ = 0;
}

void TraceList::addLine(std::string line) {
  std::lock_guard lock(mutex_);
  lines_.push_back(std::move(line));
}

void TraceList::addBlock(const char* verb, std::span<const std::uint8_t> bytes) {
  std::string head =
      std::string(verb) + " " + std::to_string(bytes.size()) + " Bytes" + traceTimestamp();
  std::lock_guard lock(mutex_);
  auto dump = hexDump(bytes, secrets_);
  lines_.push_back(std::move(head));
  for (auto& l : dump) lines_.push_back(std::move(l));
}

void TraceList::addSend(std::span<const std::uint8_t> bytes) {
  addBlock("Send", bytes);
  std::lock_guard lock(mutex_);
  sent_ += static_cast<long long>(bytes.size());
}

void TraceList::addReceive(std::span<const std::uint8_t> bytes) {
  addBlock("Receive", bytes);
  std::lock_guard lock(mutex_);
  received_ += static_cast<long long>(bytes.size());
}

long long TraceList::bytesSent() const {
  std::lock_guard lock(mutex_);
  return sent_;
}

long long TraceList::bytesReceived() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<std::string> TraceList::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

bool TraceList::save(const std::string& path) const {
  std::string text;
  {
    std::lock_guard lock(mutex_);
    for (const auto& l : lines_) {
      text += l;
      text += '\n';
    }
  }
  return savePrivateFile(path, text);
}

}  // namespace plenar
