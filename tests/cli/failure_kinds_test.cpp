// SPDX-License-Identifier: GPL-3.0-or-later
// The same failure is the same kind, code and exit status for every command: a printer that
// never answers (nobody at the address, or a printer that keeps silent) is the link's failure,
// as in the link test; a printer that answers and then refuses a setting is the printer's.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BmpWriter.h"
#include "PlenarJson.h"
#include "RunProgram.h"
#include "SideBySide.h"
#include "SimProcess.h"
#include "TempDir.h"

using plenar::test::JsonRun;
using plenar::test::runPlenarJson;
using plenar::test::shellQuoted;
using plenar::test::SimProcess;

namespace {

// Where a printer that refuses every setting leaves a command: refused, or done (a request the
// printer does not confirm, once the link test found it; a transfer, which is no setting).
enum class WhenRefusing { PrinterFails, Done, LinkFails };

struct Case {
  std::string args;
  WhenRefusing refusing;
};

SimProcess::Options udpPrinter(std::vector<std::string> args) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  o.extraArgs = std::move(args);
  return o;
}

}  // namespace

TEST(FailureKinds, EveryCommandNamesTheSameFailureTheSameWay) {
  SimProcess silent(udpPrinter({"--fault", "silent"}));
  SimProcess refusing(udpPrinter({"--refuse-settings"}));
  TempDir dir;
  dir.write("pw.txt", "secret1\n");
  dir.write("font.bin", std::string(300, 'x'));
  std::string program(0x3100, '\xFF');
  program.replace(0x3000, 8, "PLENAR80");
  dir.write("fw.bin", program);
  dir.write("p.ini", "[ParaDefault]\nCodePage=3\n");
  ASSERT_TRUE(
      plenar::test::saveBmp(plenar::test::solidImage(8, 8, qRgb(0, 0, 0)), dir.file("l.bmp"), 1));
  const auto f = [&](const char* name) { return shellQuoted(dir.file(name)); };
  using enum WhenRefusing;
  const std::vector<Case> cases{
      {"test", Done},
      {"set-baud 9600", PrinterFails},
      {"set-flow hard", PrinterFails},
      {"set-codepage 3", PrinterFails},
      {"set-switches --buzzer on", PrinterFails},
      {"set-times 60 7200", PrinterFails},
      {"set-all", PrinterFails},
      {"reset-defaults", PrinterFails},
      {"bluetooth --name Shop", PrinterFails},
      {"bt-workmode high", PrinterFails},
      {"bt-commands AT", PrinterFails},
      {"wifi-ap Shop --password-file " + f("pw.txt"), PrinterFails},
      {"wifi-off", PrinterFails},
      {"wifi-sta --ssid S --dhcp", PrinterFails},
      {"net-ip 192.168.1.50", Done},
      {"net-mask 255.255.255.0", Done},
      {"net-gateway 192.168.1.1", Done},
      {"net-port 9100", Done},
      {"net-mac 01 02 03 04", Done},
      {"ethernet on", PrinterFails},
      {"infrared on", PrinterFails},
      {"device Till 100", PrinterFails},
      {"usb-type vcom", Done},
      {"paper-type label", Done},
      {"print-order normal", Done},
      {"retract-time 5", PrinterFails},
      {"paper-size 3", PrinterFails},
      {"bt-hide on", Done},
      {"black-mark on", Done},
      {"black-mark-distance 1000", Done},
      {"black-mark-width 60", Done},
      {"cutter-feed 100", Done},
      {"find-mark", Done},
      {"find-mark-cut", Done},
      {"test-page", Done},
      {"send --hex 1B40", Done},
      {"font " + f("font.bin") + " --address 1000", Done},
      {"logo-download " + f("l.bmp"), Done},
      {"logo-print 1", Done},
      {"read-back --address 0 --length 64 " + f("out.bin"), Done},
      {"firmware " + f("fw.bin") + " --wait 0", Done},
      // Over the network nothing answers the boot loader's handshake.
      {"boot --passes 1", LinkFails},
      {"apply " + f("p.ini"), PrinterFails},
  };
  struct Target {
    const char* name;
    std::string address;
    bool refuses;
  };
  // Port 9 is the discard service's: nobody answers there.
  const std::vector<Target> targets{
      {"nobody", "127.0.0.1:9", false},
      {"silent printer", "127.0.0.1:" + std::to_string(silent.udpPort()), false},
      {"refusing printer", "127.0.0.1:" + std::to_string(refusing.udpPort()), true}};
  // Each run in a folder of its own; most wait out a reply time.
  const std::size_t total = cases.size() * targets.size();
  std::vector<TempDir> dirs(total);
  const std::vector<JsonRun> results =
      plenar::test::sideBySide<JsonRun>(total, 12, [&](std::size_t k) {
        return runPlenarJson("--dir " + dirs[k].path() + " --net " +
                             targets[k % targets.size()].address + " " +
                             cases[k / targets.size()].args);
      });
  for (std::size_t i = 0; i < cases.size(); ++i) {
    for (std::size_t t = 0; t < targets.size(); ++t) {
      const JsonRun& r = results[i * targets.size() + t];
      const Case& c = cases[i];
      SCOPED_TRACE(c.args + " / " + targets[t].name);
      const WhenRefusing expected = targets[t].refuses ? c.refusing : LinkFails;
      const QJsonObject e = r.doc.value("error").toObject();
      EXPECT_EQ(r.schemaProblems, "");
      switch (expected) {
        case Done:
          EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
          break;
        case LinkFails:
          EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
          EXPECT_EQ(e.value("kind").toString().toStdString(), "link") << r.out;
          EXPECT_EQ(e.value("code").toString().toStdString(), "link-failed") << r.out;
          break;
        case PrinterFails:
          EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
          EXPECT_EQ(e.value("kind").toString().toStdString(), "printer") << r.out;
          EXPECT_EQ(e.value("code").toString().toStdString(), "printer-failed") << r.out;
          break;
      }
    }
  }
}
