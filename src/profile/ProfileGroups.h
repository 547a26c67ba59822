// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/CommandRequest.h"
#include "platform/IniFile.h"
#include "profile/GroupTable.h"
#include "profile/Profile.h"

namespace plenar {

// The device name and serial number: per printer, never from a shared profile.
struct DeviceIdentity {
  std::string name;
  std::string serialNo;
};

// The list texts of the language files, so that a profile may hold the texts of either
// language (the built-in Chinese texts are always known).
struct ProfileVocabulary {
  std::vector<IniDocument> languages;
};

struct ProfileGroup {
  std::string name;
  std::string command;
  std::string button;
  GroupStage stage = GroupStage::Settings;
  LinkRole role = LinkRole::None;
  int line = 0;  // of its first key
  // What it posts; logos are built (1.bin or 2.bin) only when their step runs.
  std::optional<CommandRequest> request;
  std::vector<std::string> files;
  bool logoRaw = false;
  // What it sets, for people and diffs: key and value, passwords masked.
  std::vector<std::pair<std::string, std::string>> values;
  std::string canonical;  // the text whose SHA-256 is the group's hash
  std::string sha256;
  // It holds a password: its hash is keyed (ApplyRun), since the password would be the only
  // unknown of `canonical`.
  bool secret = false;
};

struct ProfileGroups {
  std::vector<ProfileGroup> groups;  // in the table's order; the planner orders them
  std::vector<IgnoredKey> ignored;   // keys of groups the profile leaves unmanaged
};

// Builds every group the profile manages. Throws ProfileError (key and line) for a value that
// matches nothing, a group with some of its keys missing, a group the window's button would not
// send (both Bluetooth names empty, a port outside 2..65535), or a file that cannot be used.
ProfileGroups buildProfileGroups(const Profile& profile, const ProfileVocabulary& vocabulary,
                                 const std::optional<DeviceIdentity>& device);

// The device group alone (plenar apply --device); ProfileError with key "--device".
ProfileGroup deviceGroup(const DeviceIdentity& device);

}  // namespace plenar
