// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

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

TEST_F(HostileFiles, SavedFileFollowsALinkAndWritesThroughSpecialFiles) {
  fs::create_directory(dir_.file("real"));
  dir_.write("real/target.bin", "old");
  fs::create_symlink("real/target.bin", dir_.file("LINK"));
  CommandRun link = plenar("read-back --address 0 --length 16 " + file("LINK"));
  ASSERT_EQ(link.exitCode, 0) << link.out;
  EXPECT_TRUE(fs::is_symlink(dir_.file("LINK")));
  EXPECT_GE(fs::file_size(dir_.file("real/target.bin")), 16u);

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

}  // namespace
