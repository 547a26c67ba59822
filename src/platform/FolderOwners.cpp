// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FolderOwners.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

namespace plenar {
namespace {

// A user private group (the owner's own name, no other member): what a umask of 002 gives every
// folder the user makes, and no one else writes through it.
bool privateGroupOf(gid_t gid, uid_t owner) {
  std::vector<char> buf(16384);
  passwd user{};
  passwd* userFound = nullptr;
  if (::getpwuid_r(owner, &user, buf.data(), buf.size() / 2, &userFound) != 0 || !userFound) {
    return false;
  }
  group entry{};
  group* found = nullptr;
  if (::getgrgid_r(gid, &entry, buf.data() + buf.size() / 2, buf.size() / 2, &found) != 0 ||
      !found || std::string(found->gr_name) != userFound->pw_name) {
    return false;
  }
  for (char** member = found->gr_mem; member && *member; ++member) {
    if (std::string(*member) != userFound->pw_name) return false;
  }
  return true;
}

}  // namespace

std::string describeUser(long uid) {
  const std::string number = "uid " + std::to_string(uid);
  if (uid < 0) return number;
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buf(16384);
  if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buf.data(), buf.size(), &found) == 0 &&
      found != nullptr && found->pw_name != nullptr) {
    return "user " + std::string(found->pw_name) + " (" + number + ")";
  }
  return number;
}

std::string unsafeFolderReason(const std::string& folder) {
  struct stat st {};
  if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
  const auto owner = static_cast<long>(st.st_uid);
  if (st.st_uid != ::geteuid() && st.st_uid != 0) {
    return "the folder " + folder + " belongs to " + describeUser(owner) +
           "; keep the program's files in a folder of your own (--dir)";
  }
  const bool othersWrite = (st.st_mode & S_IWOTH) != 0 ||
                           ((st.st_mode & S_IWGRP) != 0 && !privateGroupOf(st.st_gid, st.st_uid));
  if (othersWrite && (st.st_mode & S_ISVTX) == 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return "the folder " + folder + " (mode " + mode +
           ") can be written by other users, who could put a link or a file of their own in "
           "place of one of the program's; use a folder only you can write to (chmod go-w, "
           "or --dir)";
  }
  return {};
}

std::string unsafeProgramFolders(const ProgramPaths& paths) {
  for (const std::string& folder : {paths.configDir, paths.stateDir}) {
    if (std::string why = unsafeFolderReason(folder); !why.empty()) return why;
  }
  return {};
}

}  // namespace plenar
