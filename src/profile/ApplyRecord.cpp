// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/ApplyRecord.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "channels/SerialPortList.h"
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

}  // namespace

std::string serialDeviceOf(const std::string& port) {
  const std::string path = resolveSerialPortName(port);
  std::error_code ec;
  const auto real = std::filesystem::canonical(path, ec);
  return ec ? path : real.string();
}

Json valuesToJson(const std::vector<std::pair<std::string, std::string>>& values) {
  Json j = Json::object();
  for (const auto& [key, value] : values) j[key] = value;
  return j;
}

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
      name += "-" + fileSafe(serialDeviceOf(link.serialPort));
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
    groups[name] = {{g.keyed ? "hmac_sha256" : "sha256", g.sha256},
                    {"applied", g.applied},
                    {"values", valuesToJson(g.values)}};
  }
  j["groups"] = std::move(groups);
  return j;
}

void checkRecordPath(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return;
  const std::string refused = "the apply record " + path + " is refused: ";
  if (S_ISLNK(st.st_mode)) {
    throw RecordUnsafe(refused +
                       "it is a symbolic link (remove it; records are never written "
                       "through a link)");
  }
  if (!S_ISREG(st.st_mode)) throw RecordUnsafe(refused + "it is not a regular file");
  if (st.st_uid != ::geteuid()) {
    throw RecordUnsafe(refused + "it belongs to another user (uid " + std::to_string(st.st_uid) +
                       ")");
  }
}

bool replaceableByRecord(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  std::string bytes;
  try {
    bytes = readInputFile(path, kMaxRecordBytes);
  } catch (const InputFileError&) {
    return false;
  }
  if (bytes.find_first_not_of(" \t\r\n") == std::string::npos) return true;
  const Json j = Json::parse(bytes, nullptr, false);
  return !j.is_discarded() && j.is_object() && j.contains("schema") && j.contains("groups");
}

std::optional<ApplyRecord> loadApplyRecord(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return std::nullopt;
  checkRecordPath(path);
  std::string bytes;
  try {
    bytes = readInputFile(path, kMaxRecordBytes);
  } catch (const InputFileError& e) {
    throw RecordError(e.what());
  }
  return parseApplyRecord(bytes, path);
}

ApplyRecord parseApplyRecord(std::string_view bytes, const std::string& path) {
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
    if (!g.is_object()) throw bad("group " + name);
    RecordedGroup rg;
    rg.keyed = g.contains("hmac_sha256");
    rg.sha256 = str(g, rg.keyed ? "hmac_sha256" : "sha256");
    if (rg.sha256.size() != 64) throw bad("group " + name);
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

namespace {
std::error_code lastError() {
  return {errno, std::generic_category()};
}
}  // namespace

std::error_code saveApplyRecord(const std::string& path, const ApplyRecord& record) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  if (!makePrivateFolder(folder)) return lastError();
  // Device names and serial numbers are the printers' own; the records stay the user's.
  if (!savePrivateFile(path, recordToJson(record).dump(2) + "\n")) return lastError();
  return {};
}

std::error_code recordFolderProblem(const std::string& path) {
  if (!makePrivateFolder(std::filesystem::path(path).parent_path().string())) return lastError();
  if (!canCreatePrivateFile(path)) return lastError();
  return {};
}

std::string recordKey(const std::string& stateDir, std::string& why) {
  constexpr std::size_t kKeyBytes = 32;
  const std::string path = pathIn(stateDir, "record.key");
  auto failed = [&](const std::string& what) {
    why = "the record key " + path + " " + what;
    return std::string();
  };
  for (int attempt = 0; attempt < 2; ++attempt) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
      struct stat st {};
      std::string key(kKeyBytes + 1, '\0');
      const bool statted = ::fstat(fd, &st) == 0;
      const ssize_t n = statted && S_ISREG(st.st_mode) ? ::read(fd, key.data(), key.size()) : -1;
      ::close(fd);
      if (!statted || !S_ISREG(st.st_mode)) return failed("is not a regular file");
      if (st.st_uid != ::geteuid()) return failed("belongs to another user");
      if (n == static_cast<ssize_t>(kKeyBytes)) {
        if ((st.st_mode & 077) != 0) ::chmod(path.c_str(), 0600);
        key.resize(kKeyBytes);
        return key;
      }
      // Cut short by a crash while it was made: make it again.
      ::unlink(path.c_str());
    } else if (errno != ENOENT) {
      return failed(std::string("cannot be read: ") + std::strerror(errno));
    }
    if (!makePrivateFolder(stateDir))
      return failed(std::string("cannot be made: ") + std::strerror(errno));
    std::string key(kKeyBytes, '\0');
    if (::getrandom(key.data(), key.size(), 0) != static_cast<ssize_t>(key.size())) {
      return failed(std::string("cannot be made: ") + std::strerror(errno));
    }
    // O_EXCL: two first runs at once keep one key, the other reads it on its next pass.
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return failed(std::string("cannot be made: ") + std::strerror(errno));
    }
    const bool written =
        ::write(fd, key.data(), key.size()) == static_cast<ssize_t>(key.size()) && ::fsync(fd) == 0;
    ::close(fd);
    if (written) return key;
    ::unlink(path.c_str());
    return failed(std::string("cannot be written: ") + std::strerror(errno));
  }
  return failed("keeps changing");
}

}  // namespace plenar
