// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace plenar {

class IniFile;

// Section MainDefault of sysconfig.ini: what the connection window remembers between runs.
struct MainDefault {
  std::vector<std::string> usbFilterList;  // "PID1".."PIDn", exactly "PID COUNT" entries
  std::string ipAddress = "192.168.1.87";
  int language = 0;  // 0 Chinese, 1 English
  int tranMode = 0;  // 0 serial, 1 network, 2 USB, 3 parallel; other values select serial
};

inline constexpr const char* kSettingsFileName = "sysconfig.ini";

MainDefault readMainDefault(const IniFile& ini);
// Writes "IP Address", "Language" and "TranMode", in that order, in one replacement of the
// file. False when the file cannot be written.
bool writeMainDefault(const IniFile& ini, const std::string& ipAddress, int language, int tranMode);

}  // namespace plenar
