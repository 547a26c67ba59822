// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace plenar {

// Where the program keeps the files it reads and writes by itself. Every folder ends in '/'.
//  - Portable: the language files sit next to the executable (a build folder, an unpacked
//    archive): that folder holds everything, like the program folder on Windows.
//  - Installed: sysconfig.ini in $XDG_CONFIG_HOME/plenar/, debug.log, 1.bin and 2.bin in
//    $XDG_STATE_HOME/plenar/, the language files from <prefix>/share/plenar/lang/ unless the
//    config folder holds the user's own copy. Whether the executable's folder is writable does
//    not matter: root can write /usr/bin, and nothing may land there.
//  - Chosen: --dir DIR holds everything.
// The file formats are the same in every mode; only their folders differ.
struct ProgramPaths {
  enum class Mode { Portable, Installed, Chosen };

  Mode mode = Mode::Portable;
  std::string configDir;    // sysconfig.ini
  std::string stateDir;     // debug.log, 1.bin, 2.bin
  std::string languageDir;  // the language files shipped with the program

  // Every file in `dir`.
  static ProgramPaths inFolder(const std::string& dir, Mode mode);
  std::string settingsFile() const;
  // The folder to read language file `name` from: in installed mode the config folder when it
  // has its own copy, else languageDir.
  std::string languageFolder(const std::string& name) const;
  // Creates the config and state folders (mode 0700, as the XDG rules ask) where missing; a
  // chosen folder too, so that debug.log traces the run from its first command and not only
  // from the moment an apply record made the folder. The portable folder is the executable's
  // own and exists. False when one cannot be made; the writes that follow then fail and say so.
  bool createFolders() const;
};

// What the decision depends on: taken from the process by fromProcess(), given by tests.
struct PathInputs {
  std::string executableDir;  // with a trailing '/'
  std::string home;           // $HOME, else the password database's home
  std::string xdgConfigHome;  // as set; empty when unset
  std::string xdgStateHome;
  // <prefix>/share/plenar/ relative to the executable's folder ("../share/plenar/").
  std::string dataFromBin;

  static PathInputs fromProcess();
};

ProgramPaths decideProgramPaths(const PathInputs& in, const std::optional<std::string>& chosenDir);
// The decision for this process.
ProgramPaths programPaths(const std::optional<std::string>& chosenDir = std::nullopt);
const char* modeName(ProgramPaths::Mode mode);

// The folder of the running executable, with a trailing '/'.
std::string executableDir();
// Joins a folder (with or without trailing '/') and a file name.
std::string pathIn(const std::string& dir, const std::string& name);

}  // namespace plenar
