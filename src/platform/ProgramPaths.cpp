// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProgramPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

// Set by the build from the install layout: where <prefix>/share/plenar lies seen from
// <prefix>/bin.
#ifndef PLENAR_DATA_FROM_BIN
#define PLENAR_DATA_FROM_BIN "../share/plenar"
#endif

namespace plenar {
namespace {

std::string withSlash(std::string dir) {
  if (dir.empty()) return "./";
  if (dir.back() != '/') dir += '/';
  return dir;
}

// "/usr/bin/../share/plenar/lang" -> "/usr/share/plenar/lang/".
std::string normalFolder(const std::string& dir) {
  std::string normal = std::filesystem::path(dir).lexically_normal().string();
  return withSlash(normal);
}

bool exists(const std::string& path) {
  return ::access(path.c_str(), F_OK) == 0;
}

bool isAbsolute(const std::string& path) {
  return !path.empty() && path.front() == '/';
}

// An XDG base folder: the variable when it holds an absolute path (relative ones are invalid
// and ignored), else the default under the home folder.
std::string baseFolder(const std::string& variable, const std::string& home,
                       const char* underHome) {
  if (isAbsolute(variable)) return withSlash(variable);
  return withSlash(home) + underHome;
}

std::string envOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

ProgramPaths ProgramPaths::inFolder(const std::string& dir, Mode mode) {
  ProgramPaths p;
  p.mode = mode;
  p.configDir = p.stateDir = p.languageDir = withSlash(dir);
  return p;
}

std::string ProgramPaths::settingsFile() const {
  return pathIn(configDir, "sysconfig.ini");
}

std::string ProgramPaths::languageFolder(const std::string& name) const {
  if (mode == Mode::Installed && exists(pathIn(configDir, name))) return configDir;
  // A folder given with --dir that holds no language files takes the program's own: the
  // language chosen must not fall back to the built-in Chinese texts.
  if (mode == Mode::Chosen && !exists(pathIn(languageDir, name))) {
    return decideProgramPaths(PathInputs::fromProcess(), std::nullopt).languageFolder(name);
  }
  return languageDir;
}

bool ProgramPaths::createFolders() const {
  if (mode == Mode::Portable) return true;
  bool ok = true;
  for (const std::string& dir : {configDir, stateDir}) {
    // Each missing level is made private: ~/.config and ~/.local/state may not exist yet.
    for (size_t slash = dir.find('/', 1); slash != std::string::npos;
         slash = dir.find('/', slash + 1)) {
      std::string level = dir.substr(0, slash);
      if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
        ok = false;
        break;
      }
    }
  }
  return ok;
}

PathInputs PathInputs::fromProcess() {
  PathInputs in;
  in.executableDir = plenar::executableDir();
  in.home = envOrEmpty("HOME");
  if (in.home.empty()) {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) in.home = pw->pw_dir;
  }
  in.xdgConfigHome = envOrEmpty("XDG_CONFIG_HOME");
  in.xdgStateHome = envOrEmpty("XDG_STATE_HOME");
  in.dataFromBin = PLENAR_DATA_FROM_BIN;
  return in;
}

ProgramPaths decideProgramPaths(const PathInputs& in, const std::optional<std::string>& chosenDir) {
  if (chosenDir) return ProgramPaths::inFolder(*chosenDir, ProgramPaths::Mode::Chosen);
  const std::string exeDir = withSlash(in.executableDir);
  if (exists(exeDir + "Chinese.lng") || exists(exeDir + "English.lng")) {
    return ProgramPaths::inFolder(exeDir, ProgramPaths::Mode::Portable);
  }
  ProgramPaths p;
  p.mode = ProgramPaths::Mode::Installed;
  p.configDir = baseFolder(in.xdgConfigHome, in.home, ".config/") + "plenar/";
  p.stateDir = baseFolder(in.xdgStateHome, in.home, ".local/state/") + "plenar/";
  p.languageDir = normalFolder(exeDir + withSlash(in.dataFromBin) + "lang");
  return p;
}

ProgramPaths programPaths(const std::optional<std::string>& chosenDir) {
  return decideProgramPaths(PathInputs::fromProcess(), chosenDir);
}

const char* modeName(ProgramPaths::Mode mode) {
  switch (mode) {
    case ProgramPaths::Mode::Portable:
      return "portable";
    case ProgramPaths::Mode::Installed:
      return "installed";
    case ProgramPaths::Mode::Chosen:
      return "chosen";
  }
  return "?";
}

std::string executableDir() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string path(buf, static_cast<size_t>(n));
  auto slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

std::string pathIn(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

}  // namespace plenar
