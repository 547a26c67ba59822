// SPDX-License-Identifier: GPL-3.0-or-later
// Files that can hold a secret or a trace, the locks around the apply record, and the masks and
// keyed hashes that keep passwords out of traces and records.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "TempDir.h"
#include "engine/TraceList.h"
#include "platform/FileLocks.h"
#include "platform/SafeFiles.h"
#include "platform/Sha256.h"
#include "shared/SecretMask.h"

using namespace plenar;
namespace fs = std::filesystem;

namespace {

unsigned modeOf(const std::string& p) {
  struct stat st {};
  return ::lstat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

}  // namespace

TEST(PrivateFiles, AreWritten0600AndNeverThroughWhatIsNotARegularFile) {
  TempDir dir;
  dir.write("victim", "keep");
  ::chmod(dir.file("victim").c_str(), 0644);
  fs::create_symlink(dir.file("victim"), dir.file("link"));
  fs::create_directory(dir.file("folder"));
  ::mkfifo(dir.file("fifo").c_str(), 0600);
  dir.write("wide", "old");
  ::chmod(dir.file("wide").c_str(), 0644);

  struct Case {
    const char* name;
    bool saved;
    int error;
  };
  const Case cases[] = {
      {"new", true, 0},          {"wide", true, 0},       {"link", false, ELOOP},
      {"folder", false, EINVAL}, {"fifo", false, EINVAL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    errno = 0;
    EXPECT_EQ(savePrivateFile(dir.file(c.name), "secret"), c.saved);
    if (c.saved) {
      EXPECT_EQ(dir.read(c.name), "secret");
      EXPECT_EQ(modeOf(dir.file(c.name)), 0600u);  // a wider file is tightened
    } else {
      EXPECT_EQ(errno, c.error);
    }
  }
  EXPECT_EQ(dir.read("victim"), "keep");
  EXPECT_EQ(modeOf(dir.file("victim")), 0644u);
  // No temporary file is left beside them.
  for (const auto& e : fs::directory_iterator(dir.path())) {
    EXPECT_EQ(e.path().filename().string().find(".tmp."), std::string::npos) << e.path();
  }
}

TEST(PrivateFiles, FoldersAreMade0700AndStaleTemporariesRemoved) {
  TempDir dir;
  const std::string deep = dir.file("a/b/c");
  ASSERT_TRUE(makePrivateFolder(deep));
  EXPECT_EQ(modeOf(dir.file("a")), 0700u);
  EXPECT_EQ(modeOf(deep), 0700u);
  dir.write("a/b/c/.rec.json.tmp.Ab12Cd", "half");
  dir.write("a/b/c/.other.json.tmp.Ab12Cd", "not ours");
  removeStaleTemps(deep + "/rec.json");
  EXPECT_FALSE(fs::exists(deep + "/.rec.json.tmp.Ab12Cd"));
  EXPECT_TRUE(fs::exists(deep + "/.other.json.tmp.Ab12Cd"));
}

TEST(RecordLocks, ASecondHolderWaitsBoundedAndGetsTheLockOnceFreed) {
  TempDir dir;
  const std::string record = dir.file("rec.json");
  LockAttempt first = FileLock::acquire(record, 0);
  ASSERT_EQ(first.result, LockAttempt::Result::Acquired) << first.reason();
  EXPECT_EQ(modeOf(record + ".lock"), 0600u);

  const auto start = std::chrono::steady_clock::now();
  const LockAttempt second = FileLock::acquire(record, 0.3);
  EXPECT_FALSE(second.lock);
  EXPECT_EQ(second.result, LockAttempt::Result::Busy);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));

  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    first.lock.reset();
  });
  const LockAttempt third = FileLock::acquire(record, 5);
  EXPECT_TRUE(third.lock) << third.reason();
  release.join();

  // A lock file planted as a link is not followed.
  fs::create_symlink(dir.file("elsewhere"), dir.file("other.json.lock"));
  // It fails with the errno of the open that refused the link, which the reason names.
  const LockAttempt planted = FileLock::acquire(dir.file("other.json"), 0);
  EXPECT_EQ(planted.result, LockAttempt::Result::Failed);
  EXPECT_EQ(planted.osError, ELOOP);
  EXPECT_NE(planted.reason().find("other.json.lock: "), std::string::npos) << planted.reason();
  EXPECT_FALSE(fs::exists(dir.file("elsewhere")));
}

TEST(SerialPortLocks, HonourALiveHolderAndRemoveAStaleOne) {
  TempDir dir;
  const std::string device = "/dev/ttyUSB7";
  const std::string lockFile = SerialPortLock::lockFileOf(device, dir.path());
  EXPECT_EQ(lockFile, dir.file("LCK..ttyUSB7"));
  EXPECT_EQ(SerialPortLock::lockFileOf("/dev/pts/3", "/run/lock"), "/run/lock/LCK..pts_3");

  long holder = 0;
  {
    auto lock = SerialPortLock::acquire(device, 0, holder, dir.path());
    ASSERT_TRUE(lock);
    char expected[16];
    std::snprintf(expected, sizeof expected, "%10d\n", static_cast<int>(::getpid()));
    EXPECT_EQ(dir.read("LCK..ttyUSB7"), expected);
  }
  EXPECT_FALSE(fs::exists(lockFile));  // released with the object

  // Held by a live process (the parent of this test, which outlives it).
  dir.write("LCK..ttyUSB7", std::to_string(::getppid()) + "\n");
  EXPECT_FALSE(SerialPortLock::acquire(device, 0.2, holder, dir.path()));
  EXPECT_EQ(holder, ::getppid());

  // A short PID in ASCII ("1\n", "644\n") is no binary lock: PID 1 always runs.
  dir.write("LCK..ttyUSB7", "1\n");
  EXPECT_FALSE(SerialPortLock::acquire(device, 0.1, holder, dir.path()));
  EXPECT_EQ(holder, 1);
  dir.write("LCK..ttyUSB7", "  1\n");
  EXPECT_FALSE(SerialPortLock::acquire(device, 0.1, holder, dir.path()));
  EXPECT_EQ(holder, 1);

  // Left by a process that is gone.
  pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  dir.write("LCK..ttyUSB7", "      " + std::to_string(child) + "\n");
  EXPECT_TRUE(SerialPortLock::acquire(device, 0, holder, dir.path()));
}

TEST(Secrets, KeyedHashMatchesTheStandardAndDependsOnTheKey) {
  // RFC 4231, test case 2.
  EXPECT_EQ(hmacSha256Hex("Jefe", "what do ya want for nothing?"),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
  EXPECT_NE(hmacSha256Hex("key one", "group=wifi-ap"), hmacSha256Hex("key two", "group=wifi-ap"));
}

TEST(Secrets, DumpsAndHexMaskExactlyThePasswordBytes) {
  // 30 bytes: the password starts at offset 12, so it runs across the dump's first two lines.
  std::vector<std::uint8_t> block(30, 0x41);
  const std::string password = "S3cr3tPw";
  std::copy(password.begin(), password.end(), block.begin() + 12);
  const auto plain = hexDump(block);
  const auto masked = hexDump(block, {password});
  ASSERT_EQ(masked.size(), plain.size());
  for (std::size_t i = 0; i < masked.size(); ++i) {
    EXPECT_EQ(masked[i].size(), plain[i].size());  // the layout stays
    EXPECT_EQ(masked[i].find("S3cr"), std::string::npos);
    EXPECT_EQ(masked[i].find("53 33"), std::string::npos);
  }
  EXPECT_NE(masked[0].find("41 41 41 41 ** ** ** **"), std::string::npos) << masked[0];
  EXPECT_NE(masked[0].find(";AAAAAAAAAAAA****"), std::string::npos) << masked[0];
  EXPECT_NE(masked[1].find("** ** ** ** 41"), std::string::npos) << masked[1];

  const std::vector<std::uint8_t> frame{0x1B, 0x53, 0x33, 0x00};
  EXPECT_EQ(maskedHex(frame, {"S3"}), "1B ** ** 00");
  EXPECT_EQ(maskedHex(frame, {""}), "1B 53 33 00");
  EXPECT_EQ(maskedText("name=S3cr3tPw;again S3cr3tPw", {password}), "name=********;again ********");
}
