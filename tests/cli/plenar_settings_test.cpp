// SPDX-License-Identifier: GPL-3.0-or-later
// Every settings button of the parameter window, performed by the plenar program against the
// simulator: the printer's stored state shows each new value; refused input never reaches it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QJsonArray>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "RunProgram.h"
#include "SettingsFixture.h"
#include "TempDir.h"

using plenar::test::SimProcess;

namespace {

struct PlenarRun {
  int exitCode;
  std::string err;
};

PlenarRun runPlenar(const std::string& link, const std::vector<std::string>& args,
                    const TempDir& dir) {
  std::string line = "--dir " + dir.path() + " " + link;
  for (const auto& a : args) line += " " + plenar::test::shellQuoted(a);
  auto r = plenar::test::runShell(plenar::test::plenarCommandLine(line + " 2>&1 >/dev/null"));
  return {r.exitCode, r.output};
}

QJsonObject at(const QJsonObject& o, const char* key) {
  return o.value(key).toObject();
}

}  // namespace

TEST(PlenarSettings, EveryButtonReachesThePrintersState) {
  struct Case {
    std::vector<std::string> args;
    std::function<bool(const QJsonObject& settings)> stored;
  };
  std::vector<Case> cases{
      {{"set-codepage", "CP437:USA/Standard Europe"},
       [](const QJsonObject& s) { return s.value("codePage").toInt() == 0; }},
      {{"set-codepage", "52"},
       [](const QJsonObject& s) { return s.value("codePage").toInt() == 250; }},
      {{"set-flow", "hard"},
       [](const QJsonObject& s) { return s.value("flowControl").toInt() == 1; }},
      {{"set-switches", "--density", "2", "--font", "16x18", "--cutter", "off", "--buzzer", "off",
        "--feed", "0D"},
       [](const QJsonObject& s) {
         return s.value("switchByte").toInt() == 0x49 && s.value("feedChar").toInt() == 1;
       }},
      // The collection's words for the same values.
      {{"set-switches", "--density", "dark", "--font", "16x18", "--cutter", "off", "--buzzer",
        "off", "--feed", "CR"},
       [](const QJsonObject& s) {
         return s.value("switchByte").toInt() == 0x49 && s.value("feedChar").toInt() == 1;
       }},
      {{"set-times", "300", "9000"},
       [](const QJsonObject& s) {
         return s.value("sleepTime").toInt() == 300 && s.value("powerOffTime").toInt() == 9000;
       }},
      {{"set-all", "--codepage", "CP850:Latin1;Western European", "--sleep", "61"},
       [](const QJsonObject& s) {
         return s.value("codePage").toInt() == 2 && s.value("switchByte").toInt() == 0xE4 &&
                s.value("sleepTime").toInt() == 61 && s.value("baudCode").toInt() == 0;
       }},
      {{"bluetooth", "--dual-name", "蓝牙打印机", "--password", "0000", "--model", "3", "--mode",
        "2", "--auth", "1"},
       [](const QJsonObject& s) {
         QJsonObject b = at(s, "bluetooth");
         return b.value("name").toString() == "蓝牙打印机" &&
                b.value("dualName").toString() == "蓝牙打印机" && b.value("mode").toInt() == 3 &&
                b.value("passwordCheck").toInt() == 2 && b.value("model").toInt() == 3;
       }},
      {{"bt-workmode", "high"},
       [](const QJsonObject& s) {
         auto c = at(s, "bluetooth").value("moduleCommands").toArray();
         return !c.isEmpty() && c.last().toString() == "AT+HSM=2";
       }},
      {{"bt-commands", "AT+NAME=X", "AT+RESET"},
       [](const QJsonObject& s) {
         auto c = at(s, "bluetooth").value("moduleCommands").toArray();
         return c.size() >= 2 && c.last().toString() == "AT+RESET";
       }},
      {{"wifi-ap", "Shop", "secret99"},
       [](const QJsonObject& s) {
         return at(s, "wifi").value("mode").toString() == "ap" &&
                at(s, "wifi").value("apPassword").toString() == "secret99";
       }},
      {{"wifi-sta", "--ssid", "shopwifi", "--password", "pw", "--ip", "10.1.2.3", "--gateway",
        "10.1.2.1", "--port", "9101"},
       [](const QJsonObject& s) {
         QJsonObject w = at(s, "wifi");
         return w.value("mode").toString() == "station" && w.value("ip").toString() == "10.1.2.3" &&
                w.value("gateway").toString() == "10.1.2.1" && w.value("port").toInt() == 9101 &&
                w.value("addressMode").toInt() == 1;
       }},
      {{"wifi-off"},
       [](const QJsonObject& s) { return at(s, "wifi").value("mode").toString() == "off"; }},
      {{"infrared", "on", "--baud", "57600", "--protocol", "irda"},
       [](const QJsonObject& s) {
         QJsonObject i = at(s, "infrared");
         return i.value("enabled").toBool() && i.value("baudCode").toInt() == 3 &&
                i.value("protocol").toInt() == 1;
       }},
      {{"device", "POS-80", "1704269998"},
       [](const QJsonObject& s) { return s.value("deviceName").toString() == "POS-80"; }},
      {{"usb-type", "printer"},
       [](const QJsonObject& s) { return s.value("usbType").toInt() == 1; }},
      {{"paper-type", "label"},
       [](const QJsonObject& s) { return s.value("paperType").toInt() == 1; }},
      {{"print-order", "reverse"},
       [](const QJsonObject& s) { return s.value("printOrder").toInt() == 0xF1; }},
      {{"retract-time", "90"},
       [](const QJsonObject& s) { return s.value("retractionTime").toInt() == 90; }},
      {{"paper-size", "4"}, [](const QJsonObject& s) { return s.value("printSize").toInt() == 2; }},
      {{"ethernet", "off"},
       [](const QJsonObject& s) { return !at(s, "ethernet").value("enabled").toBool(); }},
      {{"bt-hide", "on"},
       [](const QJsonObject& s) { return at(s, "bluetooth").value("hidden").toBool(); }},
      {{"bt-hide", "off"},
       [](const QJsonObject& s) { return !at(s, "bluetooth").value("hidden").toBool(); }},
      {{"net-ip", "10.0.0.9"},
       [](const QJsonObject& s) { return at(s, "ethernet").value("ip").toString() == "10.0.0.9"; }},
      {{"net-mask", "255.255.0.0"},
       [](const QJsonObject& s) {
         return at(s, "ethernet").value("mask").toString() == "255.255.0.0";
       }},
      {{"net-gateway", "10.0.0.1"},
       [](const QJsonObject& s) {
         return at(s, "ethernet").value("gateway").toString() == "10.0.0.1";
       }},
      {{"net-port", "9200"},
       [](const QJsonObject& s) { return at(s, "ethernet").value("port").toInt() == 9200; }},
      {{"net-mac", "a1", "b2", "c3", "d4"},
       [](const QJsonObject& s) {
         return at(s, "ethernet").value("mac").toString() == "a1b2c3d4";
       }},
      {{"black-mark", "on"},
       [](const QJsonObject& s) { return at(s, "blackMark").value("enabled").toBool(); }},
      {{"black-mark-distance", "800"},
       [](const QJsonObject& s) {
         return at(s, "blackMark").value("searchDistance").toInt() == 800;
       }},
      {{"black-mark-width", "60"},
       [](const QJsonObject& s) { return at(s, "blackMark").value("width").toInt() == 60; }},
      {{"cutter-feed", "120"},
       [](const QJsonObject& s) { return at(s, "blackMark").value("cutterFeed").toInt() == 120; }},
      {{"black-mark", "off"},
       [](const QJsonObject& s) { return !at(s, "blackMark").value("enabled").toBool(); }},
      {{"set-baud", "115200"},
       [](const QJsonObject& s) { return s.value("baudCode").toInt() == 4; }},
  };

  SimProcess sim;
  TempDir dir;
  const std::string link = "--serial " + sim.serialPath() + " --device-baud 9600";
  for (const auto& c : cases) {
    PlenarRun r = runPlenar(link, c.args, dir);
    EXPECT_EQ(r.exitCode, 0) << c.args[0] << ": " << r.err;
    // Raw sequences get no answer: wait (bounded) for the printer to have taken them in.
    QJsonObject state = sim.waitForState(
        [&](const QJsonObject& s) { return c.stored(s.value("settings").toObject()); });
    EXPECT_TRUE(c.stored(state.value("settings").toObject())) << c.args[0];
  }
}

TEST(PlenarSettings, ActionsWithoutStoredStateReachThePrinter) {
  SimProcess sim;
  TempDir dir;
  const std::string link = "--serial " + sim.serialPath();
  for (const char* cmd : {"find-mark", "find-mark-cut", "test-page", "reset-defaults"}) {
    PlenarRun r = runPlenar(link, {cmd}, dir);
    EXPECT_EQ(r.exitCode, 0) << cmd << ": " << r.err;
  }
  EXPECT_EQ(runPlenar(link, {"send", "--hex", "1B40\n 0A "}, dir).exitCode, 0);
  EXPECT_EQ(runPlenar(link, {"send", "--text", "Hello"}, dir).exitCode, 0);
  dir.write("data.bin", std::string("\x1b\x40\x0a", 3));
  EXPECT_EQ(runPlenar(link, {"send", "--file", dir.file("data.bin")}, dir).exitCode, 0);

  auto records = sim.waitForRecords([](const std::vector<QJsonObject>& rs) {
    int n = 0;
    for (const auto& r : rs) n += r.value("command").toInt() == 0x92;
    return n == 3;
  });
  std::vector<std::string> userData;
  for (const auto& r : records) {
    if (r.value("command").toInt() == 0x92)
      userData.push_back(r.value("data").toString().toStdString());
  }
  EXPECT_EQ(userData, (std::vector<std::string>{"1b400a", "48656c6c6f", "1b400a"}));
  EXPECT_EQ(sim.state().value("defaultsRestored").toInt(), 1);
}

TEST(PlenarSettings, RefusedInputExits65WithoutTouchingThePrinter) {
  SimProcess sim;
  TempDir dir;
  // The window's Chinese texts, whatever the test's locale.
  const std::string link = "--lang zh --serial " + sim.serialPath();
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  std::vector<Case> cases{
      {{"net-gateway", "192.168.1.300"}, "输入的IP有错!"},
      {{"net-gateway", "192.168.1"}, "网关不正确"},
      {{"net-ip", "255.255.255.255"}, "IP 地址不正确"},
      {{"net-mask", "255.255.256.0"}, "子网掩码不正确"},
      {{"wifi-sta", "--ssid", "s", "--gateway", "1.2.3.x"}, "网关不正确"},
      {{"device", "", "1"}, "设备名称不能为空"},
      {{"net-mac", "65", "zz", "67", "68"}, "'zz' 不是十六进制字节"},
      // The model box takes digits only: the key filter refuses before any conversion.
      {{"bluetooth", "--name", "P", "--model", "x"}, "--model: 'x' is refused (digits only)"},
  };
  for (const auto& c : cases) {
    PlenarRun r = runPlenar(link, c.args, dir);
    EXPECT_EQ(r.exitCode, 65) << c.args[0] << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args[0] << ": " << r.err;
  }
  EXPECT_EQ(runPlenar(link, {"set-codepage", "CP999"}, dir).exitCode, 64);
  EXPECT_EQ(runPlenar(link, {"paper-size", "5"}, dir).exitCode, 64);
  // A number outside its range, as every other one: a wrong value on the command line.
  EXPECT_EQ(runPlenar(link, {"net-port", "1"}, dir).exitCode, 64);
  EXPECT_TRUE(sim.records().empty());
}

TEST(PlenarSettings, OverTheNetworkHidingAndUserDataUseTheSocket) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  SimProcess sim(o);
  TempDir dir;
  const std::string link = "--net " + sim.udpHost() + ":" + std::to_string(sim.udpPort());
  PlenarRun r = runPlenar(link, {"bt-hide", "on"}, dir);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  r = runPlenar(link, {"set-codepage", "4"}, dir);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  // User data waits for the printer's answer on the network.
  r = runPlenar(link, {"send", "--hex", "1b40"}, dir);
  EXPECT_EQ(r.exitCode, 0) << r.err;

  QJsonObject state = sim.waitForState([](const QJsonObject& s) {
    return s.value("settings").toObject().value("bluetooth").toObject().value("hidden").toBool();
  });
  EXPECT_TRUE(at(at(state, "settings"), "bluetooth").value("hidden").toBool());
  auto all = received(sim, true);
  // The printer does not answer the hiding sequence: plenar's link test found it first (its
  // identify frame), then the sequence went out in a datagram of its own.
  const auto hiding = std::find_if(all.begin(), all.end(), [](const auto& x) {
    return x.kind == "datagram" && x.data == Bytes{0x8E, 0x01};
  });
  ASSERT_NE(hiding, all.end());
  ASSERT_NE(hiding + 1, all.end());
  EXPECT_TRUE(std::any_of(all.begin(), hiding, [](const auto& x) { return x.kind == "frame"; }));
  EXPECT_EQ(sequenceBytes({*(hiding + 1)}), (Bytes{0x8E, 0x01}));
  int userData = 0;
  for (const auto& x : all) userData += x.command == 0x92 && x.data == Bytes{0x1B, 0x40};
  EXPECT_EQ(userData, 1);
}
