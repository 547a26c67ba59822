// SPDX-License-Identifier: GPL-3.0-or-later
#include "profile/KeyDocs.h"

#include "logo/LogoFiles.h"
#include "profile/KeyAliases.h"
#include "profile/ParaKeys.h"
#include "profile/Profile.h"

namespace plenar {
namespace {

KeyDoc paraDoc(const ParaKey& k, const ParaKey* previous) {
  KeyDoc d;
  d.section = kParaSection;
  d.key = k.key;
  d.control = k.control;
  d.defaultValue = paraKeyDefault(k);
  if (k.kind == ParaKind::SameKey && previous) {
    d.sameAs = previous->key;
    d.defaultValue = paraKeyDefault(*previous);
  }
  const std::string& own = d.sameAs.empty() ? d.key : d.sameAs;
  d.group = groupOfKey(own);
  if (d.sameAs.empty()) {
    for (const char* alias : aliasesOf(d.key)) d.aliases.push_back(alias);
  }
  if (d.group) {
    d.stage = groupStage(*d.group);
    d.values = keyValuesOf(own);
    if (d.values) d.accepts = acceptedText(*d.values);
  } else if (const char* why = ignoredKeyReason(own)) {
    d.ignored = why;
  }
  return d;
}

KeyDoc fileDoc(const char* key, GroupStage stage, std::string accepts, std::string def = "") {
  KeyDoc d;
  d.section = "Files";
  d.key = key;
  d.stage = stage;
  d.accepts = std::move(accepts);
  d.defaultValue = std::move(def);
  return d;
}

}  // namespace

std::vector<KeyDoc> profileKeyDocs() {
  std::vector<KeyDoc> out;
  const ParaKey* previous = nullptr;
  for (const ParaKey& k : paraKeys()) {
    out.push_back(paraDoc(k, previous));
    previous = &k;
  }
  // Group keys the window keeps no field for: a profile names them itself.
  for (const GroupDef& g : settingsGroupDefs()) {
    for (const char* key : g.keys) {
      bool listed = false;
      for (const KeyDoc& d : out) listed = listed || d.key == key;
      if (listed) continue;
      KeyDoc d;
      d.section = kParaSection;
      d.key = key;
      d.group = &g;
      d.stage = groupStage(g);
      d.values = keyValuesOf(key);
      if (d.values) d.accepts = acceptedText(*d.values);
      out.push_back(std::move(d));
    }
  }
  using S = GroupStage;
  out.push_back(fileDoc("Firmware", S::Firmware,
                        "a firmware file, relative to the profile's folder or absolute"));
  out.push_back(fileDoc("FirmwareWait", S::Firmware,
                        "seconds the printer takes to restart after the update", "5"));
  out.push_back(fileDoc("Font", S::Files, "a font file, with FontAddress"));
  out.push_back(fileDoc("FontAddress", S::Files, "the font's hexadecimal start address"));
  out.push_back(
      fileDoc("LogoN", S::Files,
              "a BMP image stored as logo N, 1.." + std::to_string(kLogoDirectoryEntries)));
  out.push_back(fileDoc("LogoRaw", S::Files,
                        "1: store the logos with the 1C 71 command (2.bin, logos 1.." +
                            std::to_string(kNvLogoMaxImages) + "), 0: as 1.bin",
                        "0"));
  return out;
}

}  // namespace plenar
