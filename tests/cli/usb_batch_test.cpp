// SPDX-License-Identifier: GPL-3.0-or-later
// plenar batch over USB against the simulator's USB printers: a stream of printers that arrive
// and leave one after another (one pulled out part-way), and printers attached at once.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <set>
#include <string>
#include <vector>

#include "BatchSerials.h"
#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"

namespace plenar::test {
namespace {

constexpr const char* kProfile =
    "[ParaDefault]\nCodePage=CP850\nsleepTime=300\npoweroffTime=7200\nRptTime=45\n";

QJsonObject readJson(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(f.readAll()).object();
}

std::vector<QJsonObject> reportLines(const std::string& path) {
  QFile f(QString::fromStdString(path));
  std::vector<QJsonObject> lines;
  if (!f.open(QIODevice::ReadOnly)) return lines;
  for (const QByteArray& line : f.readAll().split('\n')) {
    if (!line.isEmpty()) lines.push_back(QJsonDocument::fromJson(line).object());
  }
  return lines;
}

struct UsbBench {
  // Each printer's state in dir/state-N.json.
  explicit UsbBench(std::vector<std::string> simArgs) : sim(options(dir, std::move(simArgs))) {
    dir.write("shop.ini", kProfile);
  }
  static SimProcess::Options options(const TempDir& dir, std::vector<std::string> args) {
    SimProcess::Options o;
    o.serial = false;
    o.usb = "1234:811E";
    o.extraArgs = std::move(args);
    o.extraArgs.insert(o.extraArgs.end(), {"--state", dir.file("state-{n}.json")});
    return o;
  }
  // plenar batch under the preload; `before` runs in the background as it starts.
  ProgramRun batch(const std::string& args, const std::string& before = "") {
    const std::string env = "UMOCKDEV_DIR=" + shellQuoted(sim.usbDir()) +
                            " LD_PRELOAD=libumockdev-preload.so.0"
                            " ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}"
                            "verify_asan_link_order=0\" ";
    return runShell((before.empty() ? "" : "(" + before + ") & ") + "timeout 120 env " + env +
                    plenarCommandLine("--lang en --dir " + dir.path() + " batch " +
                                      shellQuoted(dir.file("shop.ini")) + " --usb-watch " +
                                      "--name 'Till {n}' --state " + dir.file("bench.json") +
                                      " --report " + dir.file("report.jsonl") + " " + args) +
                    " 2>" + dir.file("stderr.txt"));
  }
  // Printer n's settings as the simulator keeps them.
  QJsonObject settings(int n) const {
    return readJson(dir.file("state-" + std::to_string(n) + ".json")).value("settings").toObject();
  }

  TempDir dir;  // first: the simulator writes into it
  SimProcess sim;
};

TEST(UsbBatch, TenPrintersInARowEachWithItsOwnNumberOnePulledPartWay) {
  // A printer leaves once quiet for the idle time after being spoken to. plenar pauses about
  // 110 ms between two groups, and up to 260 ms on a loaded machine: at 300 ms a printer would
  // leave before its last groups and fail, so the idle time leaves room for a slow machine.
  UsbBench bench({"--stream", "10", "--stream-pull", "4:3", "--stream-idle-ms", "1000",
                  "--stream-gap-ms", "100"});
  // The stream starts once the bench waits for its first printer (a printer attached before
  // would be left alone), within 60 s.
  ProgramRun r =
      bench.batch("--serial-from 100 --step 3 --count 10",
                  "for i in $(seq 600); do grep -qs 'waiting for printer' " +
                      shellQuoted(bench.dir.file("stderr.txt")) +
                      " && break; sleep 0.1; done; kill -USR1 " + std::to_string(bench.sim.pid()));
  EXPECT_EQ(r.exitCode, 1) << r.output << bench.dir.read("stderr.txt");  // one printer failed

  const auto lines = reportLines(bench.dir.file("report.jsonl"));
  ASSERT_EQ(lines.size(), 10u) << bench.dir.read("stderr.txt");
  std::set<std::string> serials;
  for (int n = 1; n <= 10; ++n) {
    SCOPED_TRACE("printer " + std::to_string(n));
    const QJsonObject& line = lines[static_cast<std::size_t>(n - 1)];
    const std::string serial = std::to_string(100 + 3 * (n - 1));  // no gap, the failed one too
    EXPECT_EQ(line.value("serial").toString().toStdString(), serial);
    EXPECT_EQ(line.value("link").toString().toStdString(),
              "usb VID_1234&PID_811E&SN_PLENAR-" + std::to_string(n));
    serials.insert(serial);
    const QJsonObject s = bench.settings(n);
    if (n == 4) {
      EXPECT_EQ(line.value("outcome").toString(), "failed");
      EXPECT_FALSE(line.value("step").toString().isEmpty());
      EXPECT_NE(s.value("serialNumber").toString().toStdString(), serial);
      continue;
    }
    EXPECT_EQ(line.value("outcome").toString(), "done")
        << line.value("error").toString().toStdString();
    EXPECT_EQ(s.value("serialNumber").toString().toStdString(), serial);
    EXPECT_EQ(s.value("deviceName").toString().toStdString(), "Till " + serial);
    EXPECT_EQ(s.value("codePage").toInt(), 2);
    EXPECT_EQ(s.value("sleepTime").toInt(), 300);
  }
  EXPECT_EQ(serials.size(), 10u);
  EXPECT_EQ(serialsGivenTwice(bench.dir.path()), "");
}

TEST(UsbBatch, PresentSetsUpEachAttachedPrinterByItsOwnIdentifier) {
  // By serial number, and by port when the printers have none or share one.
  for (const auto& args : {std::vector<std::string>{"--usb-count", "3"},
                           std::vector<std::string>{"--usb-count", "3", "--usb-no-serial"},
                           std::vector<std::string>{"--usb-count", "3", "--usb-serial", "SAME"}}) {
    SCOPED_TRACE(args.back());
    UsbBench bench(args);
    ProgramRun r = bench.batch("--serial-from 500 --present");
    EXPECT_EQ(r.exitCode, 0) << r.output << bench.dir.read("stderr.txt");
    std::set<std::string> given;
    for (int n = 1; n <= 3; ++n) {
      const QJsonObject s = bench.settings(n);
      EXPECT_EQ(s.value("codePage").toInt(), 2) << n;
      given.insert(s.value("serialNumber").toString().toStdString());
    }
    EXPECT_EQ(given, (std::set<std::string>{"500", "501", "502"}));
    EXPECT_EQ(serialsGivenTwice(bench.dir.path()), "");
  }
}

}  // namespace
}  // namespace plenar::test
