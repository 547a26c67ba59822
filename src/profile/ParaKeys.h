// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "shared/SharedTexts.h"

namespace plenar {

// Section ParaDefault of sysconfig.ini: every field of the parameter window that survives between
// runs, in the one fixed order the window reads and writes them. The window loads and saves its
// fields through this table; a printer profile is a file with the same keys.
inline constexpr const char* kParaSection = "ParaDefault";

enum class ParaKind {
  ListOrNone,   // text; matching item, else no item
  ListOrFirst,  // text; matching item, else item 0; default from an option list
  Bool,         // check box, "1" / "0"
  Text,         // edit or spin box text
  RadioGroup,   // item index
  RadioPair,    // 0 checks the first button, 1 the second, other values change nothing
  Memo,         // count key, then one key per line (kMemoLineKey followed by 1 ... n)
  Mac,          // six two-character boxes joined
  SameKey,      // a second spelling of the key before: read again with that field's text as
                // default, written again with the same text
};

struct ParaKey {
  const char* key;
  ParaKind kind;
  const char* control;
  const char* def = "";                 // text default, or "1"/"0", or a number
  OptionList list = OptionList::Count;  // ListOrFirst: default from this list...
  int listItem = 0;                     // ...at this item
  const char* second = nullptr;         // RadioPair: the button that 1 checks
};

// In the order the keys are read and written.
std::span<const ParaKey> paraKeys();
// The keys whose field is the control named `control` (a second spelling shares its field).
std::span<const ParaKey* const> paraKeysOfControl(std::string_view control);
// The key's default; those that name a list text come from the language in force.
std::string paraKeyDefault(const ParaKey& key);

inline constexpr const char* kMemoLineKey = "BlueToolthCmd";
// The MAC boxes, in the order of the stored text's character pairs.
inline constexpr const char* kMacBoxes[] = {"Edit3",       "Edit5",        "edt_macaddo",
                                            "edt_macaddt", "edt_macaddfr", "edt_macaddfor"};

}  // namespace plenar
