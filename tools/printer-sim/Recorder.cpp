// SPDX-License-Identifier: GPL-3.0-or-later
#include "Recorder.h"

#include <nlohmann/json.hpp>
#include <span>

#include "Hex.h"

namespace plenar::sim {

Recorder::~Recorder() {
  if (file_) std::fclose(file_);
}

bool Recorder::open(const std::string& path) {
  if (file_) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "w");
  return file_ != nullptr;
}

void Recorder::write(const Record& r) {
  if (capture_) captured_.push_back(r);
  if (!file_) return;
  nlohmann::json o = nlohmann::json::object();
  // Milliseconds since the start, to the microsecond: a benchmark times the cycles of a
  // transfer from them.
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                      std::chrono::steady_clock::now() - start_)
                      .count();
  o["time"] = static_cast<double>(us) / 1000.0;
  o["link"] = r.link;
  if (r.rate > 0) o["rate"] = r.rate;
  o["kind"] = r.kind;
  if (r.command) {
    o["command"] = *r.command;
    o["value1"] = r.value1;
    o["value2"] = r.value2;
  }
  std::span<const std::uint8_t> data(r.data);
  o["length"] = data.size();
  if (data.size() > kMaxDataInRecord) {
    data = data.first(kMaxDataInRecord);
    o["truncated"] = true;
  }
  o["data"] = toHex(data);
  o["meaning"] = r.meaning;
  if (r.reply) o["reply"] = toHex(*r.reply);
  if (!r.peer.empty()) o["peer"] = r.peer;
  // Text that is not UTF-8 (a garbled name) is written with replacement characters.
  std::string line = o.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace plenar::sim
