// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"

using namespace plenar::test;

namespace {

// Every plenar argument that stands for one of the window's edits gets that edit's key filter
// and length: a refusal exits 65 and nothing reaches the printer.
TEST(FieldLimits, ArgumentsBeyondTheWindowsEditsAreRefused) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  SimProcess sim(o);
  TempDir dir;
  const std::string common = "--lang en --dir " + shellQuoted(dir.path()) +
                             " --net 127.0.0.1:" + std::to_string(sim.udpPort()) + " ";
  const std::string n21(21, 'n'), n33(33, 's');
  struct Case {
    std::string args;
    std::string refused;  // the argument named in the message
  } cases[] = {
      {"wifi-sta --ssid s --port -1", "--port"},
      {"wifi-sta --ssid s --port 91x0", "--port"},
      {"wifi-sta --ssid " + n33, "--ssid"},
      {"wifi-sta --ssid s --ip 0x7f.1", "--ip"},
      {"wifi-sta --ssid s --mask 255.255.255.0000000", "--mask"},
      {"wifi-ap " + n33 + " pw", "NAME"},
      {"wifi-ap name " + n33, "PASSWORD"},
      {"net-mac abc 00 00 00", "XX"},
      {"net-mac 00 00 00 123", "XX"},
      {"net-port -9100", "N"},
      {"net-port 123456", "N"},
      {"net-ip 1.2.3.4/24", "ADDR"},
      {"net-gateway 192.168.001.0001", "ADDR"},
      {"bluetooth --name " + n21, "--name"},
      {"bluetooth --password 12345678901234", "--password"},
      {"bluetooth --model -1", "--model"},
      {"device name 12a4", "SERIAL"},
      {"device " + n21 + " 1", "NAME"},
      {"black-mark-distance 40000", "N"},
      {"black-mark-width 1200", "N"},
      {"cutter-feed -5", "N"},
      {"firmware /dev/null --wait -1", "--wait"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    auto r = runShell("timeout 20 " + plenarCommandLine(common + c.args) + " 2>&1");
    EXPECT_EQ(r.exitCode, 65) << r.output;
    // The refused value follows in quotes, or "(hidden)" for a password.
    EXPECT_EQ(r.output.rfind(c.refused + ": ", 0), 0u) << r.output;
  }
  EXPECT_TRUE(sim.records().empty()) << "something reached the printer";

  // Texts within the limits still go out; a name counts characters, not GBK bytes.
  for (const std::string& args :
       {std::string("device 二十个字符的名字二十个字符的名字二十 1704269998"),
        std::string("net-mac 0a B 00 ff")}) {
    SCOPED_TRACE(args);
    auto r = runShell("timeout 20 " + plenarCommandLine(common + args) + " 2>&1");
    EXPECT_EQ(r.exitCode, 0) << r.output;
  }
}

}  // namespace
