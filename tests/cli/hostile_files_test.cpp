// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonObject>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "BmpWriter.h"
#include "PlenarJson.h"
#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"

using namespace plenar::test;
namespace fs = std::filesystem;

namespace {

struct CommandRun {
  int exitCode;
  std::string out;
};

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The simulator on UDP and a plenar command line against it; every run is bounded by `timeout`,
// so a command that blocks shows up as exit 124.
class HostileFiles : public ::testing::Test {
 protected:
  HostileFiles() : sim_(udpOnly()) {}
  static SimProcess::Options udpOnly() {
    SimProcess::Options o;
    o.serial = false;
    o.udp = true;
    return o;
  }
  CommandRun plenar(const std::string& args, const std::string& redirect = "2>&1") {
    const std::string line =
        "timeout 20 " +
        plenarCommandLine("--lang en --dir " + shellQuoted(dir_.path()) +
                          " --net 127.0.0.1:" + std::to_string(sim_.udpPort()) + " " + args) +
        " " + redirect;
    auto r = runShell(line);
    return {r.exitCode, r.output};
  }
  std::string file(const std::string& name) const { return shellQuoted(dir_.file(name)); }

  SimProcess sim_;
  TempDir dir_;
};

TEST_F(HostileFiles, SavedFileIsNeverWrittenThroughALinkButAStreamTakesIt) {
  fs::create_directory(dir_.file("real"));
  dir_.write("real/target.bin", "old");
  fs::create_symlink("real/target.bin", dir_.file("LINK"));
  CommandRun link = plenar("read-back --address 0 --length 16 " + file("LINK"));
  EXPECT_EQ(link.exitCode, 73) << link.out;  // refused before the printer is read
  EXPECT_TRUE(contains(link.out, "symbolic link")) << link.out;
  EXPECT_TRUE(fs::is_symlink(dir_.file("LINK")));
  EXPECT_EQ(dir_.read("real/target.bin"), "old");
  EXPECT_TRUE(sim_.records().empty()) << "something reached the printer";

  // /dev/stdout is the pipe here: the bytes come out on standard output.
  CommandRun out = plenar("read-back --address 0 --length 16 /dev/stdout", "2>/dev/null");
  EXPECT_EQ(out.exitCode, 0);
  EXPECT_GE(out.out.size(), 16u);
}

TEST_F(HostileFiles, SpecialAndOversizedInputsAreRefusedBeforeAnyTraffic) {
  ASSERT_EQ(::mkfifo(dir_.file("fifo").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir_.file("zero"));
  fs::create_directory(dir_.file("folder"));
  // Sparse files one byte over each cap.
  fs::resize_file((std::ofstream(dir_.file("big16")), dir_.file("big16")), (16u << 20) + 1);
  fs::resize_file((std::ofstream(dir_.file("big1")), dir_.file("big1")), (1u << 20) + 1);
  // Not a regular file: the input cannot be read (66); too large: refused for its size (65).
  struct Case {
    std::string args;
    std::string message;
  } cases[] = {
      {"font " + file("fifo") + " --address 0", "is not a regular file"},
      {"font " + file("zero") + " --address 0", "is not a regular file"},
      {"font " + file("big16") + " --address 0", "is too large (at most 16 MiB)"},
      {"firmware " + file("zero"), "is not a regular file"},
      {"firmware " + file("fifo"), "is not a regular file"},
      {"firmware " + file("big16"), "is too large (at most 16 MiB)"},
      {"send --file /dev/zero", "is not a regular file"},
      {"send --file " + file("fifo"), "is not a regular file"},
      {"send --file " + file("big1"), "is too large (at most 1 MiB)"},
      {"logo-download " + file("fifo"), "is not a regular file"},
      {"logo-download --raw " + file("zero"), "is not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    CommandRun r = plenar(c.args);
    EXPECT_EQ(r.exitCode, contains(c.message, "too large") ? 65 : 66) << r.out;
    EXPECT_TRUE(contains(r.out, c.message)) << r.out;
  }
  EXPECT_TRUE(sim_.records().empty()) << "something reached the printer";
}

TEST_F(HostileFiles, LogoDownloadWithoutAnyImageSendsNothing) {
  fs::create_directory(dir_.file("folder"));
  for (const std::string& args :
       {std::string("logo-download /no/such.bmp"), std::string("logo-download --raw /no/such.bmp"),
        "logo-download " + file("folder"), "logo-download --raw " + file("folder")}) {
    SCOPED_TRACE(args);
    CommandRun r = plenar(args);
    EXPECT_EQ(r.exitCode, 66) << r.out;
    EXPECT_TRUE(contains(r.out, "nothing to download")) << r.out;
  }
  EXPECT_TRUE(sim_.records().empty()) << "something reached the printer";
  EXPECT_FALSE(fs::exists(dir_.file("1.bin")));
  EXPECT_FALSE(fs::exists(dir_.file("2.bin")));
}

TEST_F(HostileFiles, FontRunningPast4GiBIsRefused) {
  dir_.write("font.bin", std::string(65536, 'f'));
  CommandRun wraps = plenar("font " + file("font.bin") + " --address FFFFFF00");
  EXPECT_EQ(wraps.exitCode, 65) << wraps.out;
  EXPECT_TRUE(contains(wraps.out, "does not fit below address $100000000")) << wraps.out;
  EXPECT_TRUE(sim_.records().empty()) << "something reached the printer";
}

// A FIFO or a device in place of sysconfig.ini or a language file must not block the start.
TEST_F(HostileFiles, SettingsAndLanguageFilesThatAreSpecialFilesDoNotBlock) {
  ASSERT_EQ(::mkfifo(dir_.file("sysconfig.ini").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir_.file("English.lng"));
  CommandRun r = plenar("logo-print 0");
  EXPECT_EQ(r.exitCode, 64) << r.out;  // the command's own usage error, reached promptly
  EXPECT_EQ(fs::status(dir_.file("sysconfig.ini")).type(), fs::file_type::fifo);
}

// Files plenar keeps for itself: never in a folder others may write, never through a link
// planted in place of one, and a --record file is replaced only when it is a record.
TEST_F(HostileFiles, ProgramFilesStayTheUsersOwn) {
  ASSERT_TRUE(saveBmp(solidImage(8, 8, qRgb(0, 0, 0)), dir_.file("logo.bmp"), 1));
  dir_.write("victim", "precious");
  fs::create_directory(dir_.file("shared"));
  fs::permissions(dir_.file("shared"), fs::perms::all);
  fs::create_directory(dir_.file("own"));
  fs::create_symlink(dir_.file("victim"), dir_.file("own/1.bin"));
  if (::geteuid() == 0) {
    ASSERT_EQ(::lchown(dir_.file("own/1.bin").c_str(), 65534, -1), 0);
  }
  dir_.write("notes.txt", "my notes");
  dir_.write("p.ini", "[ParaDefault]\nCodePage=CP437\n");
  const std::string udp = "--lang en --net 127.0.0.1:" + std::to_string(sim_.udpPort());
  struct Case {
    std::string args;
    const char* code;
    const char* untouched;  // the file that keeps its bytes
  };
  const Case cases[] = {
      {"--dir " + file("shared") + " logo-download " + file("logo.bmp"), "folder-unsafe", "victim"},
      {"--dir " + file("own") + " logo-download " + file("logo.bmp"), "output-uncreatable",
       "victim"},
      {"--dir " + file("own") + " apply " + file("p.ini") + " --record " + file("notes.txt"),
       "record-foreign", "notes.txt"},
      {"--dir " + file("own") + " apply " + file("p.ini") + " --record " + file("p.ini"),
       "record-foreign", "p.ini"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string before = dir_.read(c.untouched);
    JsonRun r = runPlenarJson(udp + " " + c.args);
    EXPECT_EQ(r.exitCode, 73) << r.out << r.err;
    EXPECT_EQ(r.doc.value("error").toObject().value("code").toString().toStdString(), c.code);
    EXPECT_EQ(r.doc.value("error").toObject().value("kind").toString(), "file");
    EXPECT_EQ(dir_.read(c.untouched), before);
  }
  EXPECT_TRUE(sim_.records().empty()) << "something reached the printer";
  // An empty file and an earlier record are replaced.
  dir_.write("empty.json", "");
  for (int run = 0; run < 2; ++run) {
    JsonRun r = runPlenarJson(udp + " --dir " + file("own") + " apply " + file("p.ini") +
                              " --force --record " + file("empty.json"));
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  EXPECT_TRUE(contains(dir_.read("empty.json"), "\"groups\""));
}

// A serial port's lock file that names no live process: another user's is reported with its
// path and owner and left alone, within the wait; ours, or one whose process is gone, is taken.
TEST(HostileLocks, AStaleSerialLockIsReportedOrTakenOverNeverWaitedOnForever) {
  SimProcess sim;
  TempDir dir;
  const std::string locks = dir.file("locks");
  fs::create_directory(locks);
  ::chmod(locks.c_str(), 01777);
  char* real = ::realpath(sim.serialPath().c_str(), nullptr);
  ASSERT_NE(real, nullptr);
  std::string name = std::string(real).substr(5);
  std::free(real);
  for (char& c : name) c = c == '/' ? '_' : c;
  const std::string lock = locks + "/LCK.." + name;
  dir.write("p.ini", "[ParaDefault]\nCodePage=CP437\n");
  pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const bool root = ::geteuid() == 0;
  struct Case {
    const char* what;
    std::string content;
    bool theirs;
    bool taken;
  };
  std::vector<Case> cases = {
      {"ours, empty since long ago", "", false, true},
      {"a process that is gone", std::to_string(gone) + "\n", false, true},
  };
  if (root) {
    cases.push_back({"another user's, empty", "", true, false});
    cases.push_back({"another user's, unreadable", "x", true, false});
    cases.push_back({"another user's, process gone", std::to_string(gone) + "\n", true, true});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dir.write("locks/LCK.." + name, c.content);
    if (c.theirs) {
      ASSERT_EQ(::chown(lock.c_str(), 65534, -1), 0);
    }
    if (c.content == "x") ::chmod(lock.c_str(), 0);
    fs::last_write_time(lock, fs::file_time_type::clock::now() - std::chrono::hours(1));
    // timeout: a wait that does not end shows as 124.
    JsonRun r = runPlenarJson("--dir " + shellQuoted(dir.file("state")) + " --serial " +
                                  shellQuoted(sim.serialPath()) + " --device-baud 9600 apply " +
                                  shellQuoted(dir.file("p.ini")) + " --force --wait 1",
                              "PLENAR_LOCK_DIR=" + shellQuoted(locks) + " timeout 20");
    if (c.taken) {
      EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
      EXPECT_FALSE(fs::exists(lock));  // given back
      continue;
    }
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    const QJsonObject error = r.doc.value("error").toObject();
    EXPECT_EQ(error.value("code").toString(), "port-lock-stale") << r.out;
    const std::string message = error.value("message").toString().toStdString();
    EXPECT_TRUE(contains(message, lock)) << message;
    EXPECT_TRUE(contains(message, "uid 65534")) << message;
    EXPECT_TRUE(fs::exists(lock));
    fs::remove(lock);
  }
}

}  // namespace
