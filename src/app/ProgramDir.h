#pragma once

#include <string>

namespace plenar {

// The folder of the running executable, with a trailing '/': home of sysconfig.ini, debug.log,
// the language files, 1.bin and 2.bin.
std::string executableDir();
// Joins a folder (with or without trailing '/') and a file name.
std::string pathIn(const std::string& dir, const std::string& name);

}  // namespace plenar
