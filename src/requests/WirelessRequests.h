// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "requests/BuildResult.h"

namespace plenar {

// Tab 2 "蓝牙设置" and tab 3 "WIFI设置". Texts are UTF-8 as the window holds them; the blocks
// carry them as GBK bytes, cut to their areas without splitting a double-byte character.

// The Bluetooth fields, with the window's design-time values.
struct BluetoothFields {
  std::string name{};       // edt_lyName, area of 20 bytes
  std::string dualName{};   // edt_smlyName, area of 20 bytes
  std::string password{};   // edt_lyPsw, area of 13 bytes
  std::string model = "1";  // edt_lyType, decimal
  int modeItem = 1;         // rg_lyMode: none fitted, single-mode, dual-mode
  int authItem = 0;         // rg_lyPswcheck: required, required (masked), none
};

// Code 11, 56-byte block. Both names empty: nothing. When one name is empty the other fills
// both name areas. A model that is no number: the conversion error.
BuildResult buildSetBluetooth(const BluetoothFields& fields);

// Longest Bluetooth module command line: one 0x87 frame's data.
inline constexpr std::size_t kMaxModuleCommandBytes = 1016;
// Code 22 with one line per ParamList entry (GBK bytes), empty lines included. A line longer
// than one frame is refused.
BuildResult buildBluetoothCommands(const std::vector<std::string>& lines);
// Code 22 with "AT+HSM=2" for item 0 (high-speed mode) or "AT+HSM=0" for item 1 (normal mode).
// No item: nothing.
BuildResult buildBluetoothWorkMode(int workModeItem);

// Code 21: access-point mode, length-prefixed broadcast name and password (32 bytes each).
BuildResult buildWifiAccessPoint(const std::string& broadcastName, const std::string& password);

enum class StationAddressing { None, Dynamic, Static };

// The station-mode fields, with the window's design-time values.
struct StationFields {
  std::string ssid{};                                        // edt_SSID, at most 32 bytes
  std::string password{};                                    // edt_StaModePsw, at most 32 bytes
  StationAddressing addressing = StationAddressing::Static;  // rb_AutoIp / rb_StaticIP
  std::string ip = "192.168.1.87";                           // edt_IPaddress
  std::string mask = "255.255.255.0";                        // edt_Mask
  std::string gateway = "192.168.1.1";                       // edt_Gateway
  std::string port = "9100";                                 // edt_Port, decimal, LE16
};

// Code 12: SSID and password blocks, then (unless neither radio button is checked) address,
// mask and gateway (zero when dynamic), the port LE16 and 1 static / 0 dynamic.
BuildResult buildWifiStation(const StationFields& fields);

// Code 13.
BuildResult buildWifiOff();

}  // namespace plenar
