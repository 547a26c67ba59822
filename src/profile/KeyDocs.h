// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "profile/GroupTable.h"
#include "profile/KeyValues.h"

namespace plenar {

// Every key a profile may hold, for people (`plenar profile keys`, plenar-profile(5)), read from
// the tables the window and apply use: the window's key table (ParaKeys), the groups
// (GroupTable), what each key accepts (KeyValues) and the keys that set nothing.
struct KeyDoc {
  std::string section;  // "ParaDefault" or "Files"
  std::string key;
  std::string control;       // the window's field; empty for keys the window keeps none for
  std::string defaultValue;  // the window's default
  const GroupDef* group = nullptr;
  GroupStage stage = GroupStage::Settings;  // where an apply sends it
  const KeyValues* values = nullptr;        // nullptr: [Files] keys and keys that set nothing
  std::string accepts;                      // one line for people
  std::string ignored;                      // why it sets nothing; empty for a key that does
  std::string sameAs;                       // a second spelling of this key
  std::vector<std::string> aliases;         // readable names a profile may use instead
};

std::vector<KeyDoc> profileKeyDocs();

}  // namespace plenar
