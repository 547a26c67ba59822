// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>
#include <vector>

namespace plenar {

// Readable names for the window's odd key spellings (BluetoothName for BlueToolthName). A profile
// may use either; it is read as the window's key, and the window saves its own spelling. The
// password keys have none: scripts and the Ansible collection know them by the window's name.
struct KeyAlias {
  const char* alias;
  const char* key;  // as the key table spells it
};

const std::vector<KeyAlias>& keyAliases();
// The window's key an alias stands for (letter case ignored); nullptr for no alias.
const char* keyOfAlias(std::string_view alias);
std::vector<const char*> aliasesOf(std::string_view key);

}  // namespace plenar
