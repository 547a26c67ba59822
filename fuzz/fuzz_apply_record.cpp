// SPDX-License-Identifier: GPL-3.0-or-later
// An apply record as it may lie in a folder others can write to: any bytes give a record or a
// RecordError. A record that loads, written again as plenar writes it, loads to the same record,
// and the written document keeps the keys the loader requires.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "profile/ApplyRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  plenar::ApplyRecord record;
  try {
    record = plenar::parseApplyRecord(bytes, "fuzz.json");
  } catch (const plenar::RecordError&) {
    return 0;
  }
  const plenar::Json written = plenar::recordToJson(record);
  for (const char* key : {"schema", "plenar_version", "updated", "link", "link_after", "model_tag",
                          "profile_sha256", "groups"}) {
    if (!written.contains(key)) std::abort();
  }
  if (!written["groups"].is_object() || !written["link"].is_object()) std::abort();
  plenar::ApplyRecord again;
  try {
    again = plenar::parseApplyRecord(written.dump(2), "fuzz.json");
  } catch (const plenar::RecordError&) {
    std::abort();  // plenar would refuse the record it wrote itself
  }
  if (plenar::recordToJson(again) != written) std::abort();
  if (again.groups.size() != record.groups.size()) std::abort();
  for (const auto& [name, group] : record.groups) {
    const plenar::RecordedGroup& g = again.groups.at(name);
    if (g.sha256 != group.sha256 || g.keyed != group.keyed || g.values != group.values) {
      std::abort();
    }
  }
  return 0;
}
