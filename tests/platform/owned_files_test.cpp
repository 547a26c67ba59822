// SPDX-License-Identifier: GPL-3.0-or-later
// What the program writes stays its user's own: outputs never go through a link or over another
// user's file, its folders are refused when others may write them, a serial lock nobody holds is
// taken over only where that is safe, and a process holding a password leaves no core file.
// Cases that need a file of another user run as root only (chown).

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

#include "../channels/PtyPair.h"
#include "TempDir.h"
#include "platform/FileLocks.h"
#include "platform/FolderOwners.h"
#include "platform/HiddenLine.h"
#include "platform/SafeFiles.h"
#include "platform/SecretMemory.h"

using namespace plenar;
namespace fs = std::filesystem;

namespace {

constexpr uid_t kOtherUser = 65534;  // nobody

bool isRoot() {
  return ::geteuid() == 0;
}

void giveAway(const std::string& path) {
  ASSERT_EQ(::lchown(path.c_str(), kOtherUser, static_cast<gid_t>(-1)), 0) << path;
}

}  // namespace

TEST(OwnedFiles, AnOutputIsNeverWrittenThroughALinkOrOverAnotherUsersFile) {
  TempDir dir;
  dir.write("victim", "keep");
  fs::create_symlink(dir.file("victim"), dir.file("link"));
  fs::create_symlink("/dev/null", dir.file("to-null"));
  fs::create_directory(dir.file("folder"));
  dir.write("old", "old");
  struct Case {
    std::string name;
    bool saved;
    int error = 0;
  };
  std::vector<Case> cases = {
      {"new", true},
      {"old", true},
      {"to-null", true},
      {"link", false, ELOOP},
      {"folder", false, EISDIR},
  };
  if (isRoot()) {
    dir.write("theirs", "theirs");
    giveAway(dir.file("theirs"));
    fs::create_symlink("/dev/null", dir.file("their-link"));
    giveAway(dir.file("their-link"));
    ::mkfifo(dir.file("their-fifo").c_str(), 0666);
    giveAway(dir.file("their-fifo"));
    cases.push_back({"theirs", false, EPERM});
    cases.push_back({"their-link", false, EPERM});
    cases.push_back({"their-fifo", false, EPERM});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    errno = 0;
    EXPECT_EQ(saveOutputFile(dir.file(c.name), "memory"), c.saved);
    if (!c.saved) {
      EXPECT_EQ(errno, c.error);
    }
    if (c.saved && c.name != "to-null") {
      EXPECT_EQ(dir.read(c.name), "memory");
      EXPECT_EQ(fs::status(dir.file(c.name)).permissions() & fs::perms::all,
                fs::perms::owner_read | fs::perms::owner_write);
    }
  }
  EXPECT_EQ(dir.read("victim"), "keep");
  EXPECT_FALSE(saveErrorText(ELOOP).empty());
}

TEST(OwnedFiles, FoldersOthersMayWriteOrOwnAreRefused) {
  TempDir dir;
  struct Case {
    const char* name;
    mode_t mode;
    bool refused;
  } cases[] = {
      {"own", 0700, false},
      {"shared", 0777, true},
      {"sticky", 01777, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::create_directory(dir.file(c.name));
    ::chmod(dir.file(c.name).c_str(), c.mode);
    EXPECT_EQ(!unsafeFolderReason(dir.file(c.name)).empty(), c.refused)
        << unsafeFolderReason(dir.file(c.name));
  }
  EXPECT_EQ(unsafeFolderReason(dir.file("not-yet")), "");
  if (isRoot()) {
    fs::create_directory(dir.file("theirs"));
    giveAway(dir.file("theirs"));
    EXPECT_NE(unsafeFolderReason(dir.file("theirs")).find("belongs to"), std::string::npos);
    EXPECT_NE(unsafeProgramFolders(
                  ProgramPaths::inFolder(dir.file("theirs"), ProgramPaths::Mode::Chosen)),
              "");
  }
}

TEST(SerialPortLocks, ALockNobodyHoldsIsTakenOverOnlyWhereThatIsSafe) {
  struct Case {
    const char* what;
    std::string content;
    bool old;  // last changed long ago
    bool theirs;
    bool taken;
    const char* stale;
  };
  pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string gonePid = std::to_string(gone) + "\n";
  std::vector<Case> cases = {
      {"empty, just made", "", false, false, false, "empty"},
      {"empty, left long ago", "", true, false, true, ""},
      {"not a PID", "abc\n", true, false, true, ""},
      {"a PID and more", "12 34\n", false, false, false, "names no process"},
      {"a process that is gone", gonePid, false, false, true, ""},
  };
  if (isRoot()) {
    cases.push_back({"another user's, empty", "", true, true, false, "empty"});
    cases.push_back({"another user's, process gone", gonePid, true, true, true, ""});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    ::chmod(dir.path().c_str(), 01777);
    const std::string lockFile = dir.file("LCK..ttyUSB7");
    dir.write("LCK..ttyUSB7", c.content);
    if (c.theirs) giveAway(lockFile);
    if (c.old)
      fs::last_write_time(lockFile, fs::file_time_type::clock::now() - std::chrono::hours(1));
    PortLockHolder holder;
    auto lock = SerialPortLock::acquire("/dev/ttyUSB7", 0.2, holder, dir.path());
    EXPECT_EQ(lock.has_value(), c.taken);
    EXPECT_TRUE(fs::exists(lockFile));  // ours now, or theirs left in place
    if (c.taken) continue;
    EXPECT_EQ(dir.read("LCK..ttyUSB7"), c.content);
    EXPECT_EQ(holder.pid, 0);
    EXPECT_EQ(holder.stale, c.stale);
    EXPECT_EQ(holder.path, lockFile);
    EXPECT_EQ(holder.ownerUid, static_cast<long>(c.theirs ? kOtherUser : ::geteuid()));
  }
}

TEST(SecretMemory, AProcessHoldingAPasswordLeavesNoCore) {
  // In a child, as the process that reads a password: asked for cores, it stops giving any.
  const pid_t child = ::fork();
  if (child == 0) {
    rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
    ::setrlimit(RLIMIT_CORE, &unlimited);
    ::prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
    const bool before = outOfCoreDumps();
    keepOutOfCoreDumps();
    rlimit core{};
    ::getrlimit(RLIMIT_CORE, &core);
    const bool after = ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 0 && core.rlim_cur == 0 &&
                       core.rlim_max == 0 && outOfCoreDumps();
    ::_exit(!before && after ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  std::string secret = "S3cr3tPw";
  secret.reserve(64);
  const char* bytes = secret.data();
  wipe(secret);
  EXPECT_TRUE(secret.empty());
  EXPECT_EQ(std::string(bytes, 8), std::string(8, '\0'));  // the same buffer, overwritten
}

TEST(HiddenLine, EchoIsOffWhileTypingAndBackAfterwards) {
  PtyPair pty;
  const int slave = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(slave, 0);
  ASSERT_TRUE(pty.slaveTermios().c_lflag & ECHO);
  struct Case {
    std::string typed;
    HiddenLine::Status status;
    std::string text;
  } cases[] = {
      {"Pw12345678\n", HiddenLine::Status::Read, "Pw12345678"},
      {std::string(40, 'p') + "\n", HiddenLine::Status::TooLong, ""},
  };
  for (const Case& c : cases) {
    auto line = std::async(std::launch::async, [&] { return readHiddenLine(slave, "pw: ", 32); });
    // Echo goes off before the line is read; type only then, as a user would after the prompt.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((pty.slaveTermios().c_lflag & ECHO) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(pty.slaveTermios().c_lflag & ECHO);
    ASSERT_TRUE(pty.writeAll({c.typed.begin(), c.typed.end()}));
    ASSERT_EQ(line.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const HiddenLine got = line.get();
    EXPECT_EQ(got.status, c.status);
    EXPECT_EQ(got.text, c.text);
    EXPECT_TRUE(pty.slaveTermios().c_lflag & ECHO);
    // Nothing typed came back on the terminal.
    char echoed[64];
    const ssize_t n = ::read(pty.master(), echoed, sizeof echoed);
    EXPECT_EQ(std::string(echoed, static_cast<std::size_t>(std::max<ssize_t>(n, 0)))
                  .find(c.typed.substr(0, 4)),
              std::string::npos);
  }
  ::close(slave);
}
