// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>

#include "TempDir.h"
#include "platform/ProgramPaths.h"

using namespace plenar;
using Mode = ProgramPaths::Mode;

namespace {

// One row of the decision table: where the executable lies and what the environment says.
struct PathCase {
  const char* name;
  bool languageFilesBesideExe;
  bool exeDirReadOnly;
  const char* xdgConfigHome;  // "" = unset; "HOME" is replaced by the test's home folder
  const char* xdgStateHome;
  std::optional<const char*> chosenDir;  // --dir, relative to the test folder
  Mode mode;
  const char* configDir;  // expected, relative to the test folder
  const char* stateDir;
  const char* languageDir;
};

const PathCase kCases[] = {
    {"build folder", true, false, "", "", std::nullopt, Mode::Portable, "prefix/bin/",
     "prefix/bin/", "prefix/bin/"},
    {"read-only unpacked archive", true, true, "", "", std::nullopt, Mode::Portable, "prefix/bin/",
     "prefix/bin/", "prefix/bin/"},
    {"installed, XDG unset", false, false, "", "", std::nullopt, Mode::Installed,
     "home/.config/plenar/", "home/.local/state/plenar/", "prefix/share/plenar/lang/"},
    // Root can write /usr/bin: a writable folder without language files is still installed.
    {"installed, read-only bin", false, true, "", "", std::nullopt, Mode::Installed,
     "home/.config/plenar/", "home/.local/state/plenar/", "prefix/share/plenar/lang/"},
    {"installed, XDG set", false, true, "HOME/cfg", "HOME/st/", std::nullopt, Mode::Installed,
     "cfg/plenar/", "st/plenar/", "prefix/share/plenar/lang/"},
    // The XDG rules make a relative path invalid: the default is used.
    {"installed, XDG relative", false, false, "cfg", "st", std::nullopt, Mode::Installed,
     "home/.config/plenar/", "home/.local/state/plenar/", "prefix/share/plenar/lang/"},
    {"--dir over installed", false, false, "HOME/cfg", "", "work", Mode::Chosen, "work/", "work/",
     "work/"},
    {"--dir over portable", true, false, "", "", "work/", Mode::Chosen, "work/", "work/", "work/"},
};

TEST(ProgramPaths, DecisionTable) {
  for (const PathCase& c : kCases) {
    SCOPED_TRACE(c.name);
    TempDir root;
    const std::string base = root.path() + "/";
    std::filesystem::create_directories(base + "prefix/bin");
    std::filesystem::create_directories(base + "home");
    if (c.languageFilesBesideExe) root.write("prefix/bin/English.lng", "[String]\n");
    if (c.exeDirReadOnly) ::chmod((base + "prefix/bin").c_str(), 0555);
    auto fromRoot = [&](const char* value) {
      std::string s = value;
      if (s.rfind("HOME", 0) == 0) s = base + s.substr(4 + (s.size() > 4 && s[4] == '/'));
      return s;
    };

    PathInputs in;
    in.executableDir = base + "prefix/bin/";
    in.home = base + "home";
    in.xdgConfigHome = fromRoot(c.xdgConfigHome);
    in.xdgStateHome = fromRoot(c.xdgStateHome);
    in.dataFromBin = "../share/plenar";
    std::optional<std::string> chosen;
    if (c.chosenDir) chosen = base + *c.chosenDir;

    ProgramPaths p = decideProgramPaths(in, chosen);
    EXPECT_EQ(p.mode, c.mode);
    EXPECT_EQ(p.configDir, base + c.configDir);
    EXPECT_EQ(p.stateDir, base + c.stateDir);
    EXPECT_EQ(p.languageDir, base + c.languageDir);
    EXPECT_EQ(p.settingsFile(), base + c.configDir + "sysconfig.ini");
    ::chmod((base + "prefix/bin").c_str(), 0755);  // so that the folder can be removed
  }
}

TEST(ProgramPaths, UserCopyOfALanguageFileWinsInstalledOnly) {
  TempDir root;
  ProgramPaths p;
  p.mode = Mode::Installed;
  p.configDir = root.path() + "/cfg/";
  p.stateDir = root.path() + "/state/";
  p.languageDir = "/usr/share/plenar/lang/";
  std::filesystem::create_directories(p.configDir);
  root.write("cfg/English.lng", "[String]\n");
  EXPECT_EQ(p.languageFolder("English.lng"), p.configDir);
  EXPECT_EQ(p.languageFolder("Chinese.lng"), p.languageDir);

  ProgramPaths portable = ProgramPaths::inFolder(root.path(), Mode::Portable);
  EXPECT_EQ(portable.languageFolder("English.lng"), root.path() + "/");
}

TEST(ProgramPaths, InstalledFoldersAreCreatedPrivate) {
  TempDir root;
  ProgramPaths p;
  p.mode = Mode::Installed;
  p.configDir = root.path() + "/home/.config/plenar/";
  p.stateDir = root.path() + "/home/.local/state/plenar/";
  ASSERT_TRUE(p.createFolders());
  for (const std::string& dir : {p.configDir, p.stateDir, root.path() + "/home/.local/"}) {
    struct stat st {};
    ASSERT_EQ(::stat(dir.c_str(), &st), 0) << dir;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << dir;
  }
  EXPECT_TRUE(p.createFolders()) << "existing folders are fine";

  // The portable folder is the executable's: nothing is created there. A chosen folder that
  // does not exist yet is made before the first command, so its debug.log holds the whole run.
  ProgramPaths portable = ProgramPaths::inFolder(root.path() + "/none", Mode::Portable);
  EXPECT_TRUE(portable.createFolders());
  EXPECT_FALSE(std::filesystem::exists(root.path() + "/none"));
  ProgramPaths chosen = ProgramPaths::inFolder(root.path() + "/new/dir", Mode::Chosen);
  EXPECT_TRUE(chosen.createFolders());
  struct stat st {};
  ASSERT_EQ(::stat((root.path() + "/new/dir").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace
