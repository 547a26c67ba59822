// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "BmpWriter.h"
#include "FileTestSupport.h"
#include "RunProgram.h"
#include "TempDir.h"

using namespace plenar;
using namespace plenar::test;

namespace {

struct CommandRun {
  int exitCode;
  std::string out;  // stderr and stdout together
};

CommandRun plenarCommand(const std::string& args) {
  auto r = runShell(plenarCommandLine(args + " 2>&1"));
  return {r.exitCode, r.output};
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(FileCommands, RefusalsComeBeforeAnyTraffic) {
  TempDir dir;
  const std::string common = "--serial /dev/null --lang zh --dir " + dir.path() + " ";

  // A missing input file is 66; a file whose content is refused, 65.
  CommandRun firmware = plenarCommand(common + "firmware " + dir.file("missing.bin"));
  EXPECT_EQ(firmware.exitCode, 66);
  EXPECT_TRUE(contains(firmware.out, "文件不存在")) << firmware.out;

  CommandRun font = plenarCommand(common + "font " + dir.file("missing.bin") + " --address 10000");
  EXPECT_EQ(font.exitCode, 66);
  dir.write("font.bin", "abc");
  CommandRun address = plenarCommand(common + "font " + dir.file("font.bin") + " --address 12G");
  EXPECT_EQ(address.exitCode, 65);
  EXPECT_TRUE(contains(address.out, "'$12G' is not a valid integer value")) << address.out;

  dir.write("bad.bmp", "not a bitmap");
  CommandRun logo = plenarCommand(common + "logo-download " + dir.file("bad.bmp"));
  EXPECT_EQ(logo.exitCode, 65);
  EXPECT_TRUE(contains(logo.out, "Bitmap image is not valid")) << logo.out;
  EXPECT_FALSE(std::filesystem::exists(dir.file("1.bin")));

  EXPECT_EQ(plenarCommand(common + "logo-print 0").exitCode, 64);
  EXPECT_EQ(plenarCommand(common + "logo-print 1,x").exitCode, 64);
  EXPECT_EQ(plenarCommand(common + "read-back --address 10 OUT").exitCode, 64);
  EXPECT_EQ(plenarCommand(common + "boot --passes 0").exitCode, 64);
}

TEST(FileCommands, FontAndReadBackAgainstThePrinter) {
  SimProcess sim;
  TempDir dir;
  const std::string common =
      "--serial " + sim.serialPath() + " --lang zh --dir " + dir.path() + " ";
  Bytes font = patternBytes(1000, 11);
  writeFile(dir.file("font.bin"), font);

  CommandRun download =
      plenarCommand(common + "font " + dir.file("font.bin") + " --address 0x2000");
  ASSERT_EQ(download.exitCode, 0) << download.out;
  EXPECT_TRUE(contains(download.out, "Finish 100.0%(3/3)")) << download.out;

  CommandRun back =
      plenarCommand(common + "read-back --address 2000 --length 1000 " + dir.file("back.hex"));
  ASSERT_EQ(back.exitCode, 0) << back.out;
  EXPECT_TRUE(contains(back.out, "上传完成")) << back.out;
  // plenar saves exactly the length asked for, not the printer's last block whole.
  Bytes got = readFile(dir.file("back.hex"));
  ASSERT_EQ(got.size(), 1000u);
  EXPECT_TRUE(std::equal(font.begin(), font.end(), got.begin()));
}

TEST(FileCommands, LogoDownloadBuildsTheFileInTheProgramFolder) {
  SimProcess sim;
  TempDir dir;
  ASSERT_TRUE(saveBmp(solidImage(20, 10, qRgb(0, 0, 0)), dir.file("logo.bmp"), 8));
  const std::string common =
      "--serial " + sim.serialPath() + " --lang zh --dir " + dir.path() + " ";
  CommandRun raw = plenarCommand(common + "logo-download --raw " + dir.file("logo.bmp") + " " +
                                 dir.file("gone.bmp"));
  ASSERT_EQ(raw.exitCode, 0) << raw.out;
  EXPECT_TRUE(contains(raw.out, "gone.bmp 不存在，已跳过")) << raw.out;
  EXPECT_EQ(readFile(dir.file("2.bin")).size(), 3u + 4 + 48);
  QJsonObject state = sim.waitForState([](const QJsonObject& s) {
    return s.value("nvLogos").toObject().value("count").toInt() == 1;
  });
  EXPECT_EQ(state.value("nvLogos").toObject().value("count").toInt(), 1);
}

TEST(FileCommands, BootExitsZeroOnceThePrinterAnswered) {
  SimProcess sim;
  TempDir dir;
  CommandRun boot =
      plenarCommand("--serial " + sim.serialPath() + " --dir " + dir.path() + " boot --passes 20");
  EXPECT_EQ(boot.exitCode, 0) << boot.out;

  SimProcess deaf(simOptions({"--no-boot"}));
  CommandRun unanswered =
      plenarCommand("--serial " + deaf.serialPath() + " --dir " + dir.path() + " boot --passes 3");
  EXPECT_EQ(unanswered.exitCode, 1) << unanswered.out;
  EXPECT_TRUE(contains(unanswered.out, "did not answer")) << unanswered.out;
}

// A program file goes to the boot loader only when its model tag is the printer's: another tag
// is refused like any other input (65), and so is a tag missing on either side unless forced.
TEST(FileCommands, FirmwareNeedsTheSameModelTagOnBothSides) {
  TempDir dir;
  std::string tagged(0x3100, '\x5A');
  tagged.replace(0x3000, 8, std::string("other\0\0\0", 8));
  writeFile(dir.file("other.bin"), Bytes(tagged.begin(), tagged.end()));
  tagged.replace(0x3000, 8, "PLENAR80");
  writeFile(dir.file("fw.bin"), Bytes(tagged.begin(), tagged.end()));
  writeFile(dir.file("untagged.bin"), Bytes(600, 0x5A));
  struct Case {
    std::string model;  // the simulated printer's tag
    std::string args;
    int exitCode;
  } cases[] = {
      {"PLENAR80", "other.bin", 65},
      {"PLENAR80", "other.bin --force-firmware", 65},
      {"", "fw.bin", 65},
      {"", "untagged.bin", 65},
      {"PLENAR80", "untagged.bin", 65},
      {"", "fw.bin --force-firmware", 0},
      {"PLENAR80", "fw.bin", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model + " " + c.args);
    SimProcess sim(simOptions({"--model", c.model}));
    CommandRun run = plenarCommand("--serial " + sim.serialPath() + " --lang zh --dir " +
                                   dir.path() + " firmware " + dir.file("") + c.args + " --wait 1");
    EXPECT_EQ(run.exitCode, c.exitCode) << run.out;
    const int updates = sim.state().value("firmware").toObject().value("updates").toInt();
    if (c.exitCode == 65) {
      EXPECT_TRUE(contains(run.out, "程序文件错误")) << run.out;
      EXPECT_EQ(updates, 0);
    }
  }
}

}  // namespace
