// SPDX-License-Identifier: GPL-3.0-or-later
// plenar profile keys: the keys a profile may hold, from the table the window and apply read.

#include <cstdio>

#include "cli/CliCommands.h"
#include "cli/RunReport.h"
#include "profile/ParaKeys.h"
#include "profile/Profile.h"
#include "profile/ProfileGroups.h"

namespace plenar::cli {
namespace {

const char* kindText(ParaKind kind) {
  switch (kind) {
    case ParaKind::ListOrNone:
    case ParaKind::ListOrFirst:
      return "list";
    case ParaKind::Bool:
      return "on/off";
    case ParaKind::Text:
      return "text";
    case ParaKind::RadioGroup:
    case ParaKind::RadioPair:
      return "choice";
    case ParaKind::Memo:
      return "lines";
    case ParaKind::Mac:
      return "mac";
    case ParaKind::SameKey:
      return "alias";
  }
  return "";
}

int profileKeys(const CommonOptions& o, ArgList& args) {
  const auto p = args.expect(1, "profile keys");
  if (p[0] != "keys") throw UsageError("usage: plenar profile keys");
  nlohmann::ordered_json keys = nlohmann::ordered_json::array();
  for (const ParaKey& k : paraKeys()) {
    nlohmann::ordered_json j = {{"key", k.key},
                                {"kind", kindText(k.kind)},
                                {"control", k.control},
                                {"default", paraKeyDefault(k)}};
    if (const GroupDef* g = groupOfKey(k.key)) {
      j["group"] = g->name;
      j["command"] = g->command;
      j["stage"] = g->role == LinkRole::None ? "settings" : "link";
    } else if (const char* why = ignoredKeyReason(k.key)) {
      j["ignored"] = why;
    }
    keys.push_back(std::move(j));
  }
  if (!o.json) {
    std::printf("%-22s %-13s %-16s %s\n", "KEY", "GROUP", "COMMAND", "DEFAULT / NOTE");
    for (const auto& j : keys) {
      const std::string note = j.contains("ignored")
                                   ? "(ignored: " + j["ignored"].get<std::string>() + ")"
                                   : j["default"].get<std::string>();
      std::printf("%-22s %-13s %-16s %s\n", j["key"].get<std::string>().c_str(),
                  j.value("group", std::string("-")).c_str(),
                  j.value("command", std::string("-")).c_str(), note.c_str());
    }
    std::printf("[Files]: Firmware, FirmwareWait, Font, FontAddress, Logo1 ... Logo512, LogoRaw\n");
  }
  o.report->result() = {
      {"keys", std::move(keys)},
      {"files", {"Firmware", "FirmwareWait", "Font", "FontAddress", "LogoN", "LogoRaw"}}};
  return kExitDone;
}

}  // namespace

void addProfileCommands(std::vector<CliCommand>& out) {
  out.push_back({"profile", "profile keys",
                 "list the keys a profile may hold: their group, command and default", false,
                 profileKeys});
}

}  // namespace plenar::cli
