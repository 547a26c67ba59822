// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace plenar::cli {

// Whether `path` names the process's standard output or standard error (/dev/stdout,
// /dev/fd/2, a terminal or file that stdout is, ...). With --json the document owns stdout, and
// data written there as well would corrupt it. /dev/null is never one: writing there mixes
// nothing into anything.
bool isStandardStream(const std::string& path);

}  // namespace plenar::cli
