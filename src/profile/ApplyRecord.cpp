// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/ApplyRecord.h"

#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#include <filesystem>

#include "platform/BuildInfo.h"
#include "platform/ProgramPaths.h"
#include "platform/SafeFiles.h"

namespace plenar {
namespace {

constexpr std::size_t kMaxRecordBytes = 1u << 20;

// A file name from a port or address: letters, digits, '.', '_' kept, anything else '-'.
std::string fileSafe(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    const bool keep = std::isalnum(c) || c == '.' || c == '_';
    out += keep ? static_cast<char>(c) : '-';
  }
  while (!out.empty() && out.front() == '-') out.erase(out.begin());
  return out;
}

Json valuesToJson(const std::vector<std::pair<std::string, std::string>>& values) {
  Json j = Json::object();
  for (const auto& [key, value] : values) j[key] = value;
  return j;
}

}  // namespace

std::string utcTimestamp() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

std::string defaultRecordPath(const std::string& stateDir, const LinkSnapshot& link) {
  std::string name = linkKindName(link.kind);
  switch (link.kind) {
    case LinkKind::Serial:
      name += "-" + fileSafe(link.serialPort);
      break;
    case LinkKind::Network:
      name += "-" + fileSafe(link.ipAddress) + "-" + std::to_string(link.udpPort);
      break;
    case LinkKind::Usb:
      name += "-" + fileSafe(link.usbDevice);
      break;
    case LinkKind::Parallel:
      name += "-" + std::to_string(link.lptNumber);
      break;
  }
  return pathIn(pathIn(stateDir, "apply"), name + ".json");
}

Json recordToJson(const ApplyRecord& r) {
  Json j;
  j["schema"] = 1;
  j["plenar_version"] = r.plenarVersion.empty() ? buildVersion() : r.plenarVersion;
  j["updated"] = r.updated;
  j["link"] = linkToJson(r.link);
  j["link_after"] = r.linkAfter ? linkToJson(*r.linkAfter) : Json();
  j["model_tag"] = r.modelTag;
  j["profile_sha256"] = r.profileSha256;
  if (r.device) j["device"] = {{"name", r.device->first}, {"serial_no", r.device->second}};
  Json groups = Json::object();
  for (const auto& [name, g] : r.groups) {
    groups[name] = {
        {"sha256", g.sha256}, {"applied", g.applied}, {"values", valuesToJson(g.values)}};
  }
  j["groups"] = std::move(groups);
  return j;
}

std::optional<ApplyRecord> loadApplyRecord(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return std::nullopt;
  std::string bytes;
  try {
    bytes = readInputFile(path, kMaxRecordBytes);
  } catch (const InputFileError& e) {
    throw RecordError(e.what());
  }
  Json j = Json::parse(bytes, nullptr, false);
  auto bad = [&](const std::string& what) {
    return RecordError("the apply record " + path + " is not usable: " + what);
  };
  if (j.is_discarded() || !j.is_object()) throw bad("not a JSON object");
  if (!j.contains("schema") || j["schema"] != 1) throw bad("unknown schema");
  ApplyRecord r;
  auto link = j.contains("link") ? linkFromJson(j["link"]) : std::nullopt;
  if (!link) throw bad("no link");
  r.link = *link;
  if (j.contains("link_after") && !j["link_after"].is_null()) {
    r.linkAfter = linkFromJson(j["link_after"]);
    if (!r.linkAfter) throw bad("link_after is not a link");
  }
  auto str = [&](const Json& o, const char* key) {
    return o.contains(key) && o[key].is_string() ? o[key].get<std::string>() : std::string();
  };
  r.plenarVersion = str(j, "plenar_version");
  r.updated = str(j, "updated");
  r.modelTag = str(j, "model_tag");
  r.profileSha256 = str(j, "profile_sha256");
  if (j.contains("device") && j["device"].is_object()) {
    r.device = std::make_pair(str(j["device"], "name"), str(j["device"], "serial_no"));
  }
  if (!j.contains("groups") || !j["groups"].is_object()) throw bad("no groups");
  for (const auto& [name, g] : j["groups"].items()) {
    if (!g.is_object() || str(g, "sha256").size() != 64) throw bad("group " + name);
    RecordedGroup rg;
    rg.sha256 = str(g, "sha256");
    rg.applied = str(g, "applied");
    if (g.contains("values") && g["values"].is_object()) {
      for (const auto& [key, value] : g["values"].items()) {
        rg.values.emplace_back(key, value.is_string() ? value.get<std::string>() : value.dump());
      }
    }
    r.groups[name] = std::move(rg);
  }
  return r;
}

bool saveApplyRecord(const std::string& path, const ApplyRecord& record) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
      errno = ec.value();
      return false;
    }
  }
  // Device names and serial numbers are the printers' own; the records stay the user's.
  return replaceFileAtomically(path, recordToJson(record).dump(2) + "\n", 0600);
}

}  // namespace plenar
