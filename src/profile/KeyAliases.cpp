// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/KeyAliases.h"

#include <string>

#include "requests/Choices.h"

namespace plenar {

const std::vector<KeyAlias>& keyAliases() {
  static const std::vector<KeyAlias> aliases = {
      {"BluetoothName", "BlueToolthName"},     {"BluetoothDualName", "MulBlueToolthName"},
      {"BluetoothModel", "BlueToolthType"},    {"BluetoothMode", "BlueToolthMode"},
      {"BluetoothAuth", "BlueToolthCheck"},    {"BluetoothWorkMode", "BlueToolthWorkMode"},
      {"BluetoothHide", "BluetoothSEEK"},      {"NetGateway", "gatewayt"},
      {"InfraredBaudRate", "InfraredBaurate"}, {"IrdaProtocol", "irdaProtecl"},
      {"UsbDeviceType", "UsbDeviceTpe"},
  };
  return aliases;
}

const char* keyOfAlias(std::string_view alias) {
  for (const KeyAlias& a : keyAliases()) {
    if (equalLowered(a.alias, alias)) return a.key;
  }
  return nullptr;
}

std::vector<const char*> aliasesOf(std::string_view key) {
  std::vector<const char*> out;
  for (const KeyAlias& a : keyAliases()) {
    if (key == a.key) out.push_back(a.alias);
  }
  return out;
}

}  // namespace plenar
