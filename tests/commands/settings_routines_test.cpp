// SPDX-License-Identifier: GPL-3.0-or-later
// The framed settings commands against the simulator over a pseudo-terminal: the frames on the
// wire, the success and failure reports, and the printer's stored values afterwards.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <atomic>
#include <functional>

#include "SettingsFixture.h"
#include "engine/TCommThread.h"
#include "requests/BasicRequests.h"
#include "requests/BlackMarkRequests.h"
#include "requests/DeviceRequests.h"
#include "requests/NetworkRequests.h"
#include "requests/WirelessRequests.h"
#include "shared/Frame.h"
#include "shared/SharedTexts.h"

using namespace plenar;
using plenar::test::SimProcess;

namespace {

// The settings frames the printer received (link frames left out).
std::vector<Received> settingFrames(const SimProcess& sim) {
  std::vector<Received> out;
  for (auto& r : received(sim)) {
    if (r.kind == "frame") out.push_back(r);
  }
  return out;
}

bool sent(const EngineHarness& h, const Bytes& frame) {
  for (const auto& b : sentBlocks(h)) {
    if (b == frame) return true;
  }
  return false;
}

}  // namespace

TEST(SettingsRoutines, CodePageZeroIsTheDocumentedFrameAndIsStored) {
  SimProcess sim;
  EngineHarness h;
  runSerial(h, sim, requestOf(buildSetCodePage(4)));  // CP437

  EXPECT_TRUE(sent(h, Bytes{0x02, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x01, 0x00, 0x83, 0x00, 0x00, 0x00}));
  auto msgs = h.messages();
  ASSERT_FALSE(msgs.empty());
  EXPECT_EQ(msgs.back().msg, 1026);
  EXPECT_EQ(msgs.back().status, "设置代码页成功");
  EXPECT_EQ(settings(sim).value("codePage").toInt(), 0);
  // The device rate is restored after the setting: the last link frame switches back to 9600.
  auto all = received(sim, true);
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all.back().command, 0x31);
  EXPECT_EQ(all.back().value1, 0);
}

TEST(SettingsRoutines, BaudRateBecomesTheDeviceRateWithoutARestore) {
  SimProcess sim;
  EngineHarness h;
  std::atomic<int> shown{0};
  h.worker().setDeviceBaudListener([&](int rate) { shown = rate; });
  runSerial(h, sim, requestOf(buildSetBaudRate(7)));  // 115200

  EXPECT_EQ(h.messages().back().msg, 1026);
  EXPECT_EQ(h.messages().back().status, "设置波特率成功");
  EXPECT_EQ(shown.load(), 115200);
  auto all = received(sim, true);
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all.back().command, 0x81);  // nothing after it: no switch back
  EXPECT_EQ(all.back().data, Bytes{4});
  EXPECT_EQ(settings(sim).value("baudCode").toInt(), 4);

  // The next command opens at the new device rate and needs no switch.
  runSerial(h, sim, requestOf(buildSetCodePage(52)), "115200");
  EXPECT_EQ(h.messages().back().msg, 1026) << h.messages().back().error;
  EXPECT_EQ(settings(sim).value("codePage").toInt(), 250);
}

TEST(SettingsRoutines, StationBlocksStaticAndDynamic) {
  SimProcess sim;
  EngineHarness h;
  StationFields f{.ssid = "shopwifi", .password = "0123456789"};
  runSerial(h, sim, requestOf(buildWifiStation(f)));
  f.addressing = StationAddressing::Dynamic;
  runSerial(h, sim, requestOf(buildWifiStation(f)));

  auto frames = settingFrames(sim);
  ASSERT_EQ(frames.size(), 2u);
  for (const auto& fr : frames) {
    EXPECT_EQ(fr.command, 0x8A);
    ASSERT_EQ(fr.data.size(), 35u);
  }
  EXPECT_EQ(frames[0].data.back(), 1);
  EXPECT_EQ((Bytes(frames[0].data.begin() + 20, frames[0].data.begin() + 24)),
            (Bytes{192, 168, 1, 87}));
  EXPECT_EQ(frames[1].data.back(), 0);
  EXPECT_EQ((Bytes(frames[1].data.begin() + 20, frames[1].data.begin() + 32)), Bytes(12, 0));
  EXPECT_EQ(h.messages().back().status, "设置WIFI IP成功");
  QJsonObject wifi = settings(sim).value("wifi").toObject();
  EXPECT_EQ(wifi.value("ssid").toString(), "shopwifi");
  EXPECT_EQ(wifi.value("addressMode").toInt(), 0);
  EXPECT_EQ(wifi.value("port").toInt(), 9100);
}

TEST(SettingsRoutines, BluetoothModuleCommandsOneFramePerLine) {
  SimProcess sim;
  EngineHarness h;
  runSerial(h, sim, requestOf(buildBluetoothWorkMode(0)));
  EXPECT_TRUE(
      sent(h, Bytes{0x02, 0x00, 0x87, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x08,
                    0x00, 0x8D, 0x00, 0x41, 0x54, 0x2B, 0x48, 0x53, 0x4D, 0x3D, 0x32, 0x67}));

  runSerial(h, sim, requestOf(buildBluetoothCommands({"AT+NAME=P1", "AT+PIN=1234", "AT"})));
  auto frames = settingFrames(sim);
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(std::string(frames[1].data.begin(), frames[1].data.end()), "AT+NAME=P1");
  EXPECT_EQ(std::string(frames[2].data.begin(), frames[2].data.end()), "AT+PIN=1234");
  EXPECT_EQ(std::string(frames[3].data.begin(), frames[3].data.end()), "AT");
  int reported = 0;
  for (const auto& t : h.progressTexts()) reported += t == "蓝牙控制指令发送成功";
  EXPECT_EQ(reported, 2);  // one per command, not per line
  QJsonArray lines = settings(sim).value("bluetooth").toObject().value("moduleCommands").toArray();
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0].toString(), "AT+HSM=2");

  // An empty list sends nothing and still reports success.
  runSerial(h, sim, requestOf(buildBluetoothCommands({})));
  EXPECT_EQ(h.messages().back().msg, 1026);
  EXPECT_EQ(settingFrames(sim).size(), 4u);
}

TEST(SettingsRoutines, AnOversizedModuleLineIsRefusedBeforeAnythingIsSent) {
  SimProcess sim;
  EngineHarness h;
  CommandRequest r;
  r.code = 22;
  r.paramList = {"AT", std::string(1017, 'A')};
  runSerial(h, sim, r);
  EXPECT_EQ(h.messages().back().msg, 1027);
  EXPECT_EQ(h.messages().back().wParam, 1);
  EXPECT_NE(h.messages().back().error.find("line 2"), std::string::npos);
  EXPECT_TRUE(settingFrames(sim).empty());
}

TEST(SettingsRoutines, EveryOtherSettingIsAcknowledgedAndStored) {
  struct Case {
    BuildResult request;
    std::string status;
    std::function<bool(const QJsonObject&)> stored;
  };
  SwitchFields dark{
      .densityItem = 2, .fontItem = 3, .feedItem = 1, .cutter = false, .buzzer = false};
  BluetoothFields bt{
      .name = std::string(20, 'N'), .password = "1234", .model = "7", .modeItem = 2, .authItem = 2};
  std::vector<Case> cases;
  cases.push_back({buildSetSwitches(dark), "设置设备开关选项成功", [](const QJsonObject& s) {
                     return s.value("switchByte").toInt() == 0x49 &&
                            s.value("feedChar").toInt() == 1;
                   }});
  cases.push_back(
      {buildSetTimes("120", "3600"), "设置休眠时间，关机时间成功", [](const QJsonObject& s) {
         return s.value("sleepTime").toInt() == 120 && s.value("powerOffTime").toInt() == 3600;
       }});
  cases.push_back({buildSetAllParameters(6, 4, SwitchFields{}, "60", "7200"), "设置所有参数成功",
                   [](const QJsonObject& s) {
                     return s.value("codePage").toInt() == 2 && s.value("baudCode").toInt() == 1 &&
                            s.value("switchByte").toInt() == 0xE4;
                   }});
  cases.push_back({buildSetBluetooth(bt), "设置蓝牙参数成功", [](const QJsonObject& s) {
                     QJsonObject b = s.value("bluetooth").toObject();
                     return b.value("name").toString() == QString(20, 'N') &&
                            b.value("password").toString() == "1234" &&
                            b.value("dualName").toString() == QString(20, 'N') &&
                            b.value("mode").toInt() == 3 && b.value("model").toInt() == 7;
                   }});
  cases.push_back(
      {buildWifiAccessPoint("Shop", "secret"), "设置WIFI 参数成功", [](const QJsonObject& s) {
         QJsonObject w = s.value("wifi").toObject();
         return w.value("mode").toString() == "ap" && w.value("apName").toString() == "Shop";
       }});
  cases.push_back({buildSetInfrared(4, true, 1), "设置红外参数成功", [](const QJsonObject& s) {
                     QJsonObject i = s.value("infrared").toObject();
                     return i.value("baudCode").toInt() == 4 && i.value("enabled").toBool() &&
                            i.value("protocol").toInt() == 1;
                   }});
  cases.push_back(
      {buildSetDevice("打印机", "1704269999"), "设置设备参数成功", [](const QJsonObject& s) {
         return s.value("deviceName").toString() == "打印机" &&
                s.value("serialNumber").toString() == "1704269999";
       }});
  cases.push_back({buildSetRetractionTime("45"), "设置票据回收时间成功",
                   [](const QJsonObject& s) { return s.value("retractionTime").toInt() == 45; }});
  cases.push_back({buildSetFlowControl(1), "设置流控成功",
                   [](const QJsonObject& s) { return s.value("flowControl").toInt() == 1; }});
  cases.push_back({buildSetPaperSize(2), "打印尺寸切换成功",
                   [](const QJsonObject& s) { return s.value("printSize").toInt() == 2; }});
  cases.push_back({buildEthernetSwitch(false), "设置完成", [](const QJsonObject& s) {
                     return !s.value("ethernet").toObject().value("enabled").toBool();
                   }});
  cases.push_back({buildWifiOff(), "设置 WIFI IP AP 成功", [](const QJsonObject& s) {
                     return s.value("wifi").toObject().value("mode").toString() == "off";
                   }});
  cases.push_back({buildRestoreDefaults(), "设置默认参数成功", [](const QJsonObject&) {
                     return true;  // counted below
                   }});

  SimProcess sim;
  EngineHarness h;
  for (auto& c : cases) {
    CommandRequest r = requestOf(c.request);
    runSerial(h, sim, r);
    auto last = h.messages().back();
    EXPECT_EQ(last.msg, 1026) << "code " << r.code << ": " << last.error;
    EXPECT_EQ(last.status, c.status) << "code " << r.code;
    EXPECT_TRUE(c.stored(settings(sim))) << "code " << r.code;
  }
  EXPECT_EQ(sim.state().value("defaultsRestored").toInt(), 1);
}

TEST(SettingsRoutines, AnUnansweredSettingFailsAfterThreeAttempts) {
  SimProcess sim;
  EngineHarness h;
  // The printer does not answer a rate code it does not know.
  CommandRequest r;
  r.code = 8;
  r.value1 = 9;
  runSerial(h, sim, r);
  auto last = h.messages().back();
  EXPECT_EQ(last.msg, 1027);
  EXPECT_EQ(last.wParam, 1);
  EXPECT_EQ(last.error, "Download Data Failed");
  for (const auto& t : h.progressTexts()) EXPECT_NE(t, "设置波特率成功");
  auto all = received(sim, true);
  int attempts = 0;
  for (const auto& f : all) attempts += f.command == 0x81;
  EXPECT_EQ(attempts, 3);
  EXPECT_EQ(all.back().command, 0x81);  // the device rate is not restored
}

TEST(SettingsRoutines, WifiOffShowsItsFailureAsStatusText) {
  SimProcess::Options o;
  o.extraArgs = {"--fault", "silent"};
  SimProcess sim(o);
  EngineHarness h;
  h.run(requestOf(buildWifiOff()), serialLink(sim.serialPath(), "9600", "9600"));
  auto last = h.messages().back();
  EXPECT_EQ(last.msg, 1027);
  EXPECT_EQ(last.error, "Received Failed");
  EXPECT_EQ(last.status, "Received Failed");
  EXPECT_EQ(h.worker().paraTexts().statusText(), "Received Failed");
}
