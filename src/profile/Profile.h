// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "shared/Errors.h"

namespace plenar {

// A printer profile: an INI file whose [ParaDefault] keys are those the parameter window stores
// (the window's own sysconfig.ini is one), plus an optional [Files] section naming a firmware
// file, logo images and a font. A key that is absent is not managed; a key or value that matches
// nothing is refused, naming its key and line, since a fleet must never silently get item 0.
// Keys that only describe the window (file paths, read-back fields, the connection window's
// section) are kept as ignored, with the reason.
//
// Text is GBK as the window writes it; a file whose sections and keys are valid UTF-8 is read as
// UTF-8 (comments may hold anything).

// A refusal of a profile or of one of its values (exit 65).
class ProfileError : public Error {
 public:
  // `code`: the stable key of a --json error ("file-missing", ...).
  ProfileError(std::string key, int line, const std::string& message,
               std::string code = "profile-refused")
      : ProfileError(FailureKind::Refused, std::move(key), line, message, std::move(code)) {}
  // The key the refusal names.
  const std::string& key() const { return field(); }

 protected:
  ProfileError(FailureKind kind, const std::string& key, int line, const std::string& message,
               std::string code)
      : Error(line > 0 ? "line " + std::to_string(line) + ": " + key + ": " + message
                       : key + ": " + message,
              {.kind = kind, .code = std::move(code), .field = key, .line = line}) {}
};

// A file the profile is or names that cannot be used (missing, not a regular file, unreadable).
class ProfileFileError : public ProfileError {
 public:
  ProfileFileError(std::string key, int line, const std::string& message,
                   std::string code = "profile-refused")
      : ProfileError(FailureKind::File, std::move(key), line, message, std::move(code)) {}
};

struct ProfileValue {
  std::string key;  // as the key table spells it
  std::string value;
  int line = 0;
};

struct IgnoredKey {
  std::string key;
  int line = 0;
  std::string reason;
};

// [Files]: paths are relative to the profile's folder (made absolute here).
struct ProfileFiles {
  std::optional<ProfileValue> firmware;
  std::optional<ProfileValue> firmwareWait;  // seconds, decimal (the window's wait box)
  std::optional<ProfileValue> font;
  std::optional<ProfileValue> fontAddress;  // hexadecimal
  std::vector<ProfileValue> logos;          // Logo1, Logo2, ... in number order
  std::optional<ProfileValue> logoRaw;      // 1: the 1C 71 file (2.bin), else 1.bin
};

struct Profile {
  std::string path;
  std::string sha256;                  // of the file's bytes
  std::vector<ProfileValue> settings;  // [ParaDefault] keys that set something, in file order
  std::vector<IgnoredKey> ignored;
  ProfileFiles files;

  const ProfileValue* find(std::string_view key) const;
};

// The [ParaDefault] keys a profile may set: those of a settings group (GroupTable).
bool isManagedKey(std::string_view key);

// Throws ProfileError for a malformed line, an unknown section or key, a key given twice with
// different values, or a [Files] entry that is not understood. `path` names the file (relative
// [Files] paths are resolved against its folder).
Profile parseProfile(std::string_view bytes, const std::string& path);

// Values given for one printer on top of a profile (`apply --set KEY=VALUE`): each key is checked
// as the file's keys are, replaces the file's value or adds one, and goes into the profile's
// digest. ProfileError (key "--set KEY") for a malformed assignment, a key that is not one, or a
// key that sets nothing; a password key is refused whatever its value, and no message repeats
// the value of one.
void applySettingOverrides(Profile& profile, const std::vector<std::string>& assignments);

// Reads the file first (at most 1 MiB, a regular file); ProfileFileError on one that cannot be.
// A profile that holds a password key keeps the process out of core files from then on
// (keepOutOfCoreDumps), and the bytes read are wiped once parsed.
Profile loadProfile(const std::string& path);

// Whether the profile names a password key (isPasswordKey), set or empty, managed or ignored:
// its digest then tells about the password as much as a group's would.
bool holdsPasswordKey(const Profile& profile);

}  // namespace plenar
