// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "platform/ProgramPaths.h"

namespace plenar {

// Who owns what the program finds, and whether a folder is safe to keep its files in.
// Threads: plain functions.

// "user alice (uid 1000)", or "uid 1234" when the password database has no name for it.
std::string describeUser(long uid);

// Why the program must not keep its own files (debug.log, 1.bin, 2.bin, sysconfig.ini, the
// records) in `folder`, or empty when it may: a folder of another user (root's aside), or one
// that other users may write to without the sticky bit, lets them put a link or a file of their
// own in place of one of ours between two runs. A folder that does not exist yet is fine (it is
// made 0700).
std::string unsafeFolderReason(const std::string& folder);

// unsafeFolderReason() of the folders the program writes to: the config folder, then the state
// folder (one folder in portable mode and with --dir). Empty when both are fine.
std::string unsafeProgramFolders(const ProgramPaths& paths);

}  // namespace plenar
