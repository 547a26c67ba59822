// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonArray>
#include <QJsonObject>
#include <chrono>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "BmpWriter.h"
#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"

namespace plenar::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::seconds;

constexpr const char* kPrinter = "VID_1234&PID_811E";
constexpr const char* kListed = "VID_1234&PID_811E&SN_PLENAR0001";  // with its serial number

SimProcess::Options usbSim(std::vector<std::string> extra = {}) {
  SimProcess::Options o;
  o.serial = false;
  o.usb = "1234:811E";
  o.extraArgs = std::move(extra);
  return o;
}

struct CommandRun {
  int exitCode;
  std::string out;  // stdout and stderr
};

// plenar under the umockdev preload, seeing the simulator's testbed. An AddressSanitizer build
// accepts the preload before its runtime with verify_asan_link_order=0.
CommandRun plenar(const SimProcess& sim, const TempDir& dir, const std::string& args) {
  const std::string env =
      "UMOCKDEV_DIR=" + shellQuoted(sim.usbDir()) +
      " LD_PRELOAD=libumockdev-preload.so.0"
      " ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\" ";
  auto r =
      runShell(env + plenarCommandLine("--lang zh --dir " + dir.path() + " " + args) + " 2>&1");
  return {r.exitCode, r.output};
}

std::string onUsb(const std::string& command) {
  return std::string("--usb '") + kPrinter + "' " + command;
}

std::string randomFile(const TempDir& dir, const std::string& name, std::size_t size,
                       unsigned seed) {
  std::mt19937 gen(seed);
  std::string bytes(size, '\0');
  for (auto& c : bytes) c = static_cast<char>(gen());
  dir.write(name, bytes);
  return dir.file(name);
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(PlenarOverUsb, ListUsbFollowsPlugAndUnplug) {
  SimProcess sim(usbSim());
  TempDir dir;
  EXPECT_EQ(plenar(sim, dir, "list-usb").out, std::string(kListed) + "\n");
  ::kill(sim.pid(), SIGUSR2);
  sim.waitForRecords([](const std::vector<QJsonObject>& r) {
    return !r.empty() && r.back().value("meaning").toString() == "USB device unplugged";
  });
  EXPECT_EQ(plenar(sim, dir, "list-usb").out, "未找到 USB 打印机\n");
  ::kill(sim.pid(), SIGUSR1);
  sim.waitForRecords([](const std::vector<QJsonObject>& r) {
    return !r.empty() && r.back().value("meaning").toString() == "USB device plugged in";
  });
  EXPECT_EQ(plenar(sim, dir, "list-usb").out, std::string(kListed) + "\n");
}

TEST(PlenarOverUsb, LinkTestFindsThePrinterWithoutProgressTexts) {
  SimProcess sim(usbSim());
  TempDir dir;
  CommandRun r = plenar(sim, dir, onUsb("test"));
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(contains(dir.read("debug.log"), "Send 25 Bytes")) << dir.read("debug.log");

  // An entry without a product code is a wrong command line: nothing is opened.
  CommandRun none = plenar(sim, dir, "--usb '' test");
  EXPECT_EQ(none.exitCode, 64) << none.out;
  EXPECT_NE(none.out.find("不是 USB 打印机的写法"), std::string::npos) << none.out;
}

TEST(PlenarOverUsb, SettingsCommandReachesThePrinter) {
  SimProcess sim(usbSim());
  TempDir dir;
  CommandRun r = plenar(sim, dir, onUsb("set-codepage 3"));
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "设置代码页成功")) << r.out;
  auto records = sim.waitForRecords([](const std::vector<QJsonObject>& rs) {
    for (const auto& rec : rs) {
      if (rec.value("link").toString() == "usb" && rec.value("command").toInt() == 0x80) {
        return true;
      }
    }
    return false;
  });
  bool seen = false;
  for (const auto& rec : records) seen |= rec.value("command").toInt() == 0x80;
  EXPECT_TRUE(seen);
}

TEST(PlenarOverUsb, LostRepliesAreRetriedAsOnTheOtherLinks) {
  // Every second reply is dropped: each request needs its second attempt (3000 ms apart).
  SimProcess sim(usbSim({"--fault", "drop-every:2"}));
  TempDir dir;
  CommandRun r = plenar(sim, dir, onUsb("set-codepage 3"));
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "设置代码页成功")) << r.out;
}

TEST(PlenarOverUsb, UserDataGoesOutWithoutALinkTestFirst) {
  SimProcess sim(usbSim());
  TempDir dir;
  CommandRun r = plenar(sim, dir, onUsb("send --text hello"));
  EXPECT_EQ(r.exitCode, 0) << r.out;
  auto records = sim.waitForRecords([](const std::vector<QJsonObject>& rs) {
    return !rs.empty() && rs.back().value("meaning").toString() == "user data, 5 bytes";
  });
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.back().value("link").toString(), "usb");
}

TEST(PlenarOverUsb, FontDownloadReadsBackByteForByte) {
  SimProcess sim(usbSim());
  TempDir dir;
  const std::string font = randomFile(dir, "font.bin", 64 * 1024, 7);
  CommandRun down = plenar(sim, dir, onUsb("font " + font + " --address 100000"));
  ASSERT_EQ(down.exitCode, 0) << down.out;
  EXPECT_TRUE(contains(down.out, "Finish 100.0%(256/256)")) << down.out;
  CommandRun back =
      plenar(sim, dir, onUsb("read-back --address 100000 --length 65536 " + dir.file("back.bin")));
  ASSERT_EQ(back.exitCode, 0) << back.out;
  EXPECT_EQ(dir.read("back.bin"), dir.read("font.bin"));
}

TEST(PlenarOverUsb, LogoDownloadStoresTheLogo) {
  SimProcess sim(usbSim());
  TempDir dir;
  ASSERT_TRUE(saveBmp(solidImage(24, 16, qRgb(0, 0, 0)), dir.file("logo.bmp"), 1));
  CommandRun r = plenar(sim, dir, onUsb("logo-download --raw " + dir.file("logo.bmp")));
  EXPECT_EQ(r.exitCode, 0) << r.out;
  QJsonObject state = sim.waitForState([](const QJsonObject& s) {
    return s.value("nvLogos").toObject().value("count").toInt() == 1;
  });
  EXPECT_EQ(state.value("nvLogos").toObject().value("count").toInt(), 1);
}

TEST(PlenarOverUsb, FirmwareUpdateSurvivesTheDeviceLeavingAndReturning) {
  SimProcess sim(usbSim());
  TempDir dir;
  std::string program(0x5000, '\x5A');
  program.replace(0x3000, 8, "PLENAR80");
  dir.write("fw.bin", program);
  CommandRun r = plenar(sim, dir, onUsb("firmware " + dir.file("fw.bin") + " --wait 2"));
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "更新程序完成")) << r.out;
  QJsonObject state = sim.waitForState([](const QJsonObject& s) {
    return s.value("firmware").toObject().value("updates").toInt() == 1;
  });
  EXPECT_EQ(state.value("firmware").toObject().value("updates").toInt(), 1);
  // It left for the boot loader and again for the new program, and came back both times.
  auto count = [](const std::vector<QJsonObject>& rs, const char* prefix) {
    int n = 0;
    for (const auto& rec : rs) n += rec.value("meaning").toString().startsWith(prefix) ? 1 : 0;
    return n;
  };
  auto records = sim.waitForRecords(
      [&](const std::vector<QJsonObject>& rs) { return count(rs, "USB device back") >= 2; });
  EXPECT_EQ(count(records, "USB device leaves"), 2);
  EXPECT_EQ(count(records, "USB device back"), 2);
  EXPECT_EQ(plenar(sim, dir, onUsb("test")).exitCode, 0);
}

TEST(PlenarOverUsb, UnplugMidTransferFailsWithinItsTimeOuts) {
  SimProcess sim(usbSim({"--usb-unplug-after-frames", "20"}));
  TempDir dir;
  const std::string font = randomFile(dir, "font.bin", 64 * 1024, 9);
  const auto start = Clock::now();
  CommandRun r = plenar(sim, dir, onUsb("font " + font + " --address 100000"));
  const auto took = Clock::now() - start;
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_FALSE(contains(r.out, "Finish 100.0%")) << r.out;
  EXPECT_FALSE(contains(r.out, "下载完成")) << r.out;
  // Three attempts of 3000 ms at most, with margin.
  EXPECT_LT(took, seconds(20));
}

}  // namespace
}  // namespace plenar::test
