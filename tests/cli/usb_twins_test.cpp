// SPDX-License-Identifier: GPL-3.0-or-later
// Two USB printers of one model attached at once, hosted by one simulator: each is listed once
// with a third part of its own and each three-part --usb reaches exactly that printer.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <string>

#include "PlenarJson.h"
#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"

namespace plenar::test {
namespace {

std::string preload(const SimProcess& sim) {
  return "UMOCKDEV_DIR=" + shellQuoted(sim.usbDir()) +
         " LD_PRELOAD=libumockdev-preload.so.0"
         " ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\" ";
}

ProgramRun plenar(const SimProcess& sim, const TempDir& dir, const std::string& args) {
  return runShell(preload(sim) + plenarCommandLine("--lang en --dir " + dir.path() + " " + args) +
                  " 2>&1");
}

// Printer n's state file, as the simulator writes it beside state.json.
int codePage(const SimProcess& sim, int n) {
  QFile f(QString::fromStdString(sim.dir() + "/state-" + std::to_string(n) + ".json"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  return QJsonDocument::fromJson(f.readAll())
      .object()
      .value("settings")
      .toObject()
      .value("codePage")
      .toInt(-1);
}

TEST(UsbTwins, EachThreePartIdentifierReachesExactlyItsPrinter) {
  struct Case {
    std::vector<std::string> options;
    std::vector<std::string> entries;  // printer 1, printer 2
  };
  for (const Case& c : {Case{{"--usb-count", "2"},
                             {"VID_1234&PID_811E&SN_PLENAR-1", "VID_1234&PID_811E&SN_PLENAR-2"}},
                        Case{{"--usb-count", "2", "--usb-no-serial"},
                             {"VID_1234&PID_811E&PORT_1-1", "VID_1234&PID_811E&PORT_1-2"}}}) {
    SCOPED_TRACE(c.entries[0]);
    SimProcess::Options o;
    o.serial = false;
    o.usb = "1234:811E";
    o.extraArgs = c.options;
    SimProcess sim(o);
    TempDir dir;

    ProgramRun list = plenar(sim, dir, "list-usb");
    EXPECT_EQ(list.exitCode, 0) << list.output;
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = list.output.find('\n', at)) != std::string::npos;
         at = end + 1) {
      lines.push_back(list.output.substr(at, end - at));
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, c.entries);
    JsonRun json = runPlenarJson("--dir " + dir.path() + " list-usb", preload(sim));
    EXPECT_EQ(json.schemaProblems, "");
    EXPECT_EQ(json.doc.value("result").toObject().value("devices").toArray().size(), 2);

    // Printer 1 gets list item 0 (byte 252), printer 2 item 1 (253); neither hears the other's.
    for (int n : {1, 2}) {
      const std::string entry = c.entries[static_cast<std::size_t>(n - 1)];
      ProgramRun test = plenar(sim, dir, "--usb " + shellQuoted(entry) + " test");
      EXPECT_EQ(test.exitCode, 0) << entry << ": " << test.output;
      ProgramRun set =
          plenar(sim, dir, "--usb " + shellQuoted(entry) + " set-codepage " + (n == 1 ? "0" : "1"));
      EXPECT_EQ(set.exitCode, 0) << entry << ": " << set.output;
    }
    EXPECT_EQ(codePage(sim, 1), 252);
    EXPECT_EQ(codePage(sim, 2), 253);
    EXPECT_EQ(plenar(sim, dir, "--usb 'VID_1234&PID_811E&PORT_1-9' test").exitCode, 1);
  }
}

// A third part that names several present printers (their shared USB serial number, written
// bare) is refused naming them, never taken to mean the first.
TEST(UsbTwins, AThirdPartSeveralPrintersShareIsRefusedNamingThem) {
  SimProcess::Options o;
  o.serial = false;
  o.usb = "1234:811E";
  o.extraArgs = {"--usb-count", "3", "--usb-serial", "SAME"};
  SimProcess sim(o);
  TempDir dir;
  JsonRun r =
      runPlenarJson("--dir " + dir.path() + " --usb 'VID_1234&PID_811E&SAME' test", preload(sim));
  EXPECT_EQ(r.exitCode, 64) << r.err;
  EXPECT_EQ(r.schemaProblems, "");
  EXPECT_EQ(r.doc.value("error").toObject().value("kind").toString(), "usage");
  for (const char* entry :
       {"VID_1234&PID_811E&PORT_1-1", "VID_1234&PID_811E&PORT_1-2", "VID_1234&PID_811E&PORT_1-3"}) {
    EXPECT_NE(r.err.find(entry), std::string::npos) << r.err;
  }
  EXPECT_EQ(plenar(sim, dir, "--usb 'VID_1234&PID_811E&PORT_1-2' test").exitCode, 0);
}

}  // namespace
}  // namespace plenar::test
