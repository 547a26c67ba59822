// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainDefault.h"

#include "platform/IniFile.h"

namespace plenar {
namespace {
constexpr const char* kSection = "MainDefault";
// A count this large is a damaged file, not a list of filters.
constexpr int kMaxPidCount = 1000;
}  // namespace

MainDefault readMainDefault(const IniFile& ini) {
  IniDocument doc = ini.load();
  MainDefault md;
  int count = doc.readInt(kSection, "PID COUNT", 0);
  if (count < 0) count = 0;
  if (count > kMaxPidCount) count = kMaxPidCount;
  for (int i = 1; i <= count; ++i) {
    md.usbFilterList.push_back(doc.readString(kSection, "PID" + std::to_string(i), ""));
  }
  md.ipAddress = doc.readString(kSection, "IP Address", "192.168.1.87");
  md.language = doc.readInt(kSection, "Language", 0);
  md.tranMode = doc.readInt(kSection, "TranMode", 0);
  return md;
}

bool writeMainDefault(const IniFile& ini, const std::string& ipAddress, int language,
                      int tranMode) {
  IniDocument doc = ini.load();
  doc.writeString(kSection, "IP Address", ipAddress);
  doc.writeInt(kSection, "Language", language);
  doc.writeInt(kSection, "TranMode", tranMode);
  return ini.save(doc);
}

}  // namespace plenar
