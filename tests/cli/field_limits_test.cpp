// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QJsonObject>
#include <algorithm>
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
      // Text limits are the printer's, in GBK bytes: ten Chinese characters fill 20.
      {"device 二十个字符的名字二十个 1", "NAME"},
      {"bluetooth --name 蓝牙打印机蓝牙打印机蓝 --password 1234", "--name"},
      {"wifi-ap 门店网络门店网络门店网络门店网络门 pw", "NAME"},
      {"wifi-sta --ssid 门店网络门店网络门店网络门店网络门 --dhcp", "--ssid"},
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

  // Texts within the limits still go out: ten Chinese characters are 20 GBK bytes.
  for (const std::string& args : {std::string("device 二十个字符的名字 1704269998"),
        std::string("net-mac 0a B 00 ff")}) {
    SCOPED_TRACE(args);
    auto r = runShell("timeout 20 " + plenarCommandLine(common + args) + " 2>&1");
    EXPECT_EQ(r.exitCode, 0) << r.output;
  }
}

// Text the printer cannot store (outside GBK, or not UTF-8) would go out as '?': it is refused
// with exit 65 naming the argument, before any byte, and a password is never repeated. Hex data
// must be byte pairs.
TEST(FieldLimits, TextThePrinterCannotStoreIsRefused) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  SimProcess sim(o);
  TempDir dir;
  const std::string common = "--lang en --dir " + shellQuoted(dir.path()) +
                             " --net 127.0.0.1:" + std::to_string(sim.udpPort()) + " ";
  struct Case {
    std::string args;
    std::string refused;
    std::string secret;  // must not appear in the output
  } cases[] = {
      {"bluetooth --name shop --password 'pässwörd'", "--password", "pä"},
      {"bluetooth --name 'shop😀'", "--name", ""},
      {"bluetooth --name \"$(printf 'ab\\377\\376')\"", "--name", ""},
      {"bluetooth --name s --dual-name 'Grüße'", "--dual-name", ""},
      {"wifi-ap 'café😀' pw", "NAME", ""},
      {"wifi-ap name 'geheim€ö'", "PASSWORD", "geheim"},
      {"wifi-sta --ssid 'Straße-ä' --dhcp", "--ssid", ""},
      {"wifi-sta --ssid s --password \"$(printf 'pw\\303')\" --dhcp", "--password", "pw"},
      {"device 'Kälte' 1", "NAME", ""},
      {"send --text 'Grüße'", "--text", ""},
      {"send --hex ZZ", "--hex", ""},
      {"send --hex '1B 4 0'", "--hex", ""},
      {"send --hex 1B4", "--hex", ""},
      {"send --hex 0x1B", "--hex", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    auto r = runShell("timeout 20 " + plenarCommandLine(common + c.args) + " 2>&1");
    EXPECT_EQ(r.exitCode, 65) << r.output;
    EXPECT_EQ(r.output.rfind(c.refused + ": ", 0), 0u) << r.output;
    if (!c.secret.empty()) {
      EXPECT_EQ(r.output.find(c.secret), std::string::npos) << r.output;
    }
  }
  EXPECT_TRUE(sim.records().empty()) << "something reached the printer";

  // What GBK holds goes out: accented letters it has, Chinese, blanks between hex pairs.
  for (const std::string& args : {std::string("bluetooth --name 'café 蓝牙' --password é1"),
                                  std::string("send --hex '1B 40  1d5600'")}) {
    SCOPED_TRACE(args);
    auto r = runShell("timeout 20 " + plenarCommandLine(common + args + " --json"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
  }
  auto records = sim.waitForRecords([](const std::vector<QJsonObject>& rs) {
    return std::any_of(rs.begin(), rs.end(),
                       [](const QJsonObject& r) { return r.value("command").toInt() == 0x92; });
  });
  for (const auto& r : records) {
    if (r.value("command").toInt() == 0x92) {
      EXPECT_EQ(r.value("data").toString().toStdString(), "1b401d5600");
    }
  }
}

}  // namespace
