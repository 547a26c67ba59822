// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace plenar::test {

// What the files under `folder` say about a serial number given twice; empty when none was:
// a batch counter (an object with "issued") listing a number twice; a batch report (*.jsonl)
// line for a number an earlier line's printer holds or may hold (all but a failed one whose
// device group was "not-sent"); two simulated printers (a state file with "settings") holding
// one number that a counter or report names.
inline std::string serialsGivenTwice(const std::string& folder) {
  using Json = nlohmann::json;
  std::string problems;
  std::set<std::string> named;
  std::map<std::string, std::vector<std::string>> heldBy;  // serial -> printer state files
  std::error_code ec;
  for (const auto& f : std::filesystem::recursive_directory_iterator(folder, ec)) {
    if (!f.is_regular_file()) continue;
    std::ifstream in(f.path(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const std::string name = f.path().filename().string();
    if (f.path().extension() == ".jsonl") {
      std::map<std::string, int> holder;  // serial -> its line
      std::istringstream lines(text);
      int n = 1;
      for (std::string line; std::getline(lines, line); ++n) {
        const Json l = Json::parse(line, nullptr, false);
        if (!l.is_object() || !l.contains("serial")) continue;  // not a report line
        const std::string serial = l.value("serial", "");
        named.insert(serial);
        if (holder.count(serial)) {
          problems += name + ": " + serial + " went to line " + std::to_string(holder[serial]) +
                      " and again to line " + std::to_string(n) + "\n";
        }
        if (l.value("outcome", "") != "failed" || l.value("device_group", "") != "not-sent") {
          holder.emplace(serial, n);
        }
      }
      continue;
    }
    const Json j = Json::parse(text, nullptr, false);
    if (f.path().extension() != ".json" || !j.is_object()) continue;
    if (j.contains("issued") && j["issued"].is_array()) {
      std::set<std::string> listed;
      for (const Json& e : j["issued"]) {
        named.insert(e.value("serial", ""));
        if (!listed.insert(e.value("serial", "")).second) {
          problems += name + " lists " + e.value("serial", "") + " twice\n";
        }
      }
    } else if (j.contains("settings") && j["settings"].is_object()) {
      heldBy[j["settings"].value("serialNumber", "")].push_back(name);
    }
  }
  for (const auto& [serial, printers] : heldBy) {
    // Printers that kept the simulator's own serial number are no fault of the bench.
    if (printers.size() < 2 || !named.count(serial)) continue;
    problems += serial + " is held by";
    for (const auto& p : printers) problems += " " + p;
    problems += "\n";
  }
  return problems;
}

}  // namespace plenar::test
