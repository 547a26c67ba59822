// SPDX-License-Identifier: GPL-3.0-or-later
// plenar apply against the simulator: --plan and --check send nothing, a second apply sends
// nothing, a failure part-way leaves a partial record and the rerun sends only the rest, a new
// rate or address is where the next apply finds the printer.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <fstream>

#include "PlenarJson.h"
#include "RunProgram.h"
#include "SimProcess.h"
#include "TempDir.h"

using plenar::test::JsonRun;
using plenar::test::runPlenarJson;
using plenar::test::shellQuoted;
using plenar::test::SimProcess;
using plenar::test::stateAt;

namespace {

// Written by hand in UTF-8: "正常" reads as GBK too, so the file says which it is.
const char* kShop =
    "; encoding: UTF-8\n"
    "[ParaDefault]\n"
    "CodePage=CP850\n"
    "FontValue=12x24\nDark=正常\nForcePaper=0X0A\nbuzzer=1\nCutPaper=0\n"
    "sleepTime=300\npoweroffTime=7200\n"
    "PaperType=receipt\n"
    "RptTime=45\n"
    "gatewayt=192.168.7.1\n"
    "DeviceName=not from a profile\n";

struct Bench {
  TempDir dir;

  JsonRun apply(const std::string& link, const std::string& profile,
                const std::string& extra = "") {
    dir.write("shop.ini", profile);
    JsonRun r = runPlenarJson("--dir " + dir.path() + " " + link + " apply " +
                              shellQuoted(dir.file("shop.ini")) + " " + extra);
    EXPECT_EQ(r.schemaProblems, "") << r.out;
    return r;
  }
};

QJsonObject result(const JsonRun& r) {
  return r.doc.value("result").toObject();
}

std::map<std::string, std::string> statuses(const JsonRun& r) {
  std::map<std::string, std::string> out;
  for (const auto& s : result(r).value("steps").toArray()) {
    out[s.toObject().value("group").toString().toStdString()] =
        s.toObject().value("status").toString().toStdString();
  }
  return out;
}

// Frames and sequences the printer received, by what they meant.
std::vector<std::string> received(const SimProcess& sim) {
  std::vector<std::string> out;
  for (const auto& r : sim.records()) {
    const QString kind = r.value("kind").toString();
    if (kind == "frame" || kind == "sequence")
      out.push_back(r.value("meaning").toString().toStdString());
  }
  return out;
}

bool any(const std::vector<std::string>& meanings, const std::string& part) {
  return std::any_of(meanings.begin(), meanings.end(),
                     [&](const std::string& m) { return m.find(part) != std::string::npos; });
}

std::string net(const SimProcess& sim, const std::string& host = "127.0.0.1") {
  return "--net " + host + ":" + std::to_string(sim.udpPort());
}

}  // namespace

TEST(Apply, PlanAndCheckSendNothingAndASecondApplySendsNothing) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  SimProcess sim(o);
  Bench bench;
  const QJsonObject before = sim.state();

  for (const char* mode : {"--plan", "--check"}) {
    JsonRun plan = bench.apply(net(sim), kShop, mode);
    ASSERT_EQ(plan.exitCode, 0) << plan.out << plan.err;
    const QJsonArray steps = result(plan).value("steps").toArray();
    ASSERT_EQ(steps.size(), 6);
    // What would go out, byte for byte: the code page frame carries 2 (CP850).
    EXPECT_EQ(steps[0].toObject().value("bytes").toArray()[0].toString(),
              "02 00 80 00 00 00 00 00 00 00 00 00 01 00 83 00 02 02");
    EXPECT_EQ(result(plan).value("ignored").toArray()[0].toObject().value("key").toString(),
              "DeviceName");
  }
  EXPECT_TRUE(received(sim).empty());
  EXPECT_EQ(sim.state(), before);

  JsonRun first = bench.apply(net(sim), kShop);
  ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
  EXPECT_TRUE(result(first).value("changed").toBool());
  EXPECT_FALSE(result(first).value("state_known").toBool());
  EXPECT_EQ(first.doc.value("printer").toObject().value("model_tag").toString(), "PLENAR80");
  const QJsonObject s = sim.waitForState([](const QJsonObject& st) {
    return stateAt(st, {"settings", "ethernet"}).value("gateway").toString() == "192.168.7.1";
  });
  const QJsonObject settings = stateAt(s, {"settings"});
  EXPECT_EQ(settings.value("codePage").toInt(), 2);
  EXPECT_EQ(settings.value("switchByte").toInt(), 0xC4);
  EXPECT_EQ(settings.value("sleepTime").toInt(), 300);
  EXPECT_EQ(settings.value("retractionTime").toInt(), 45);
  const std::size_t sent = sim.records().size();

  JsonRun second = bench.apply(net(sim), kShop);
  ASSERT_EQ(second.exitCode, 0) << second.out;
  EXPECT_FALSE(result(second).value("changed").toBool());
  EXPECT_TRUE(result(second).value("state_known").toBool());
  for (const auto& [group, status] : statuses(second)) EXPECT_EQ(status, "skipped") << group;
  JsonRun check = bench.apply(net(sim), kShop, "--check");
  EXPECT_FALSE(result(check).value("changed").toBool());
  EXPECT_EQ(sim.records().size(), sent);

  // One value changed: that group alone; --force: all of them.
  std::string changed = kShop;
  changed.replace(changed.find("RptTime=45"), 10, "RptTime=50");
  JsonRun third = bench.apply(net(sim), changed);
  for (const auto& [group, status] : statuses(third)) {
    EXPECT_EQ(status, group == "retract-time" ? "done" : "skipped") << group;
  }
  // Before and after, for a diff.
  for (const auto& step : result(third).value("steps").toArray()) {
    const QJsonObject s = step.toObject();
    if (s.value("group").toString() != "retract-time") continue;
    EXPECT_EQ(s.value("previous").toObject().value("RptTime").toString(), "45");
    EXPECT_EQ(s.value("values").toObject().value("RptTime").toString(), "50");
  }
  JsonRun forced = bench.apply(net(sim), changed, "--force");
  for (const auto& [group, status] : statuses(forced)) EXPECT_EQ(status, "done") << group;
}

TEST(Apply, AFailurePartWayLeavesAPartialRecordAndTheRerunSendsTheRest) {
  Bench bench;
  int port = 0;
  {
    // The link test and two groups (each opens the link with an identify frame) get through.
    SimProcess::Options o;
    o.serial = false;
    o.udp = true;
    o.extraArgs = {"--fault", "close-after:5"};
    SimProcess sim(o);
    port = sim.udpPort();
    JsonRun broken = bench.apply(net(sim), kShop);
    EXPECT_EQ(broken.exitCode, 1) << broken.out;
    EXPECT_EQ(broken.doc.value("error").toObject().value("field").toString(), "times");
    const auto st = statuses(broken);
    EXPECT_EQ(st.at("codepage"), "done");
    EXPECT_EQ(st.at("switches"), "done");
    EXPECT_EQ(st.at("times"), "failed");
    EXPECT_EQ(st.at("net-gateway"), "not-run");
    EXPECT_TRUE(result(broken).value("record").toObject().value("written").toBool());
  }
  SimProcess::Options o;
  o.serial = false;
  o.extraArgs = {"--udp", "127.0.0.1:" + std::to_string(port)};
  SimProcess sim(o);
  JsonRun rerun = bench.apply("--net 127.0.0.1:" + std::to_string(port), kShop);
  ASSERT_EQ(rerun.exitCode, 0) << rerun.out << rerun.err;
  EXPECT_TRUE(result(rerun).value("state_known").toBool());
  const auto st = statuses(rerun);
  EXPECT_EQ(st.at("codepage"), "skipped");
  EXPECT_EQ(st.at("times"), "done");
  sim.waitForRecords([](const std::vector<QJsonObject>& r) {
    return !r.empty() && r.back().value("meaning").toString().contains("gateway");
  });
  const auto sentNow = received(sim);
  EXPECT_FALSE(any(sentNow, "code page"));
  EXPECT_FALSE(any(sentNow, "switch byte"));
  EXPECT_TRUE(any(sentNow, "sleep time 300"));
  EXPECT_TRUE(any(sentNow, "gateway"));
}

TEST(Apply, ANewRateIsWhereTheNextApplyFindsThePrinter) {
  SimProcess::Options o;
  o.baud = 9600;
  SimProcess sim(o);
  Bench bench;
  const std::string link = "--serial " + shellQuoted(sim.serialPath()) + " --device-baud 9600";
  std::string profile = "[ParaDefault]\nBaudRate=115200\nRptTime=30\nFlowcontrol=soft\n";
  JsonRun first = bench.apply(link, profile);
  ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
  // Flow control, then the rate: the link's own parameters last.
  const QJsonArray steps = result(first).value("steps").toArray();
  EXPECT_EQ(steps[1].toObject().value("group").toString(), "flow");
  EXPECT_EQ(steps[2].toObject().value("group").toString(), "baud");
  const QJsonObject after = result(first).value("link_after").toObject();
  EXPECT_EQ(after.value("device_baud").toInt(), 115200);
  EXPECT_TRUE(result(first).value("link_after_answered").toBool());

  profile.replace(profile.find("RptTime=30"), 10, "RptTime=31");
  JsonRun second = bench.apply(link, profile);
  ASSERT_EQ(second.exitCode, 0) << second.out << second.err;
  EXPECT_EQ(result(second).value("link_used").toObject().value("device_baud").toInt(), 115200);
  EXPECT_EQ(statuses(second).at("retract-time"), "done");
  EXPECT_FALSE(result(second).value("notes").toArray().isEmpty());
  EXPECT_EQ(stateAt(sim.state(), {"settings"}).value("retractionTime").toInt(), 31);
}

TEST(Apply, ANewAddressIsWhereThePrinterAnswersAndTheRecordFollows) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  o.extraArgs = {"--udp-follows-ip"};
  SimProcess sim(o);
  Bench bench;
  std::string profile = "[ParaDefault]\nNetIPAddress=127.0.0.2\nRptTime=30\n";
  JsonRun first = bench.apply(net(sim), profile);
  ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
  EXPECT_EQ(result(first).value("link_after").toObject().value("address").toString(), "127.0.0.2");
  EXPECT_TRUE(result(first).value("link_after_answered").toBool());
  JsonRun test = runPlenarJson("--dir " + bench.dir.path() + " " + net(sim, "127.0.0.2") + " test");
  EXPECT_EQ(test.exitCode, 0);
  EXPECT_TRUE(test.doc.value("result").toObject().value("found").toBool());

  // The old address, as a fleet's inventory still says: the recorded one is tried first.
  profile.replace(profile.find("RptTime=30"), 10, "RptTime=32");
  JsonRun second = bench.apply(net(sim), profile);
  ASSERT_EQ(second.exitCode, 0) << second.out << second.err;
  EXPECT_EQ(result(second).value("link_used").toObject().value("address").toString(), "127.0.0.2");
  EXPECT_EQ(stateAt(sim.state(), {"settings"}).value("retractionTime").toInt(), 32);
}

TEST(Apply, RefusalsSendNothing) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  SimProcess sim(o);
  Bench bench;
  // A value that matches nothing: exit 65 naming key and line.
  JsonRun bad = bench.apply(net(sim), "[ParaDefault]\nCodePage=CP437\nPaperType=A4\n");
  EXPECT_EQ(bad.exitCode, 65);
  const QJsonObject e = bad.doc.value("error").toObject();
  EXPECT_EQ(e.value("kind").toString(), "refused");
  EXPECT_EQ(e.value("field").toString(), "PaperType");
  EXPECT_EQ(e.value("line").toInt(), 3);

  // A file that is not there is a missing input; a refused password is not repeated anywhere.
  JsonRun missing = runPlenarJson("--dir " + bench.dir.path() + " " + net(sim) + " apply " +
                                  shellQuoted(bench.dir.file("none.ini")));
  EXPECT_EQ(missing.exitCode, 66);
  EXPECT_EQ(missing.doc.value("error").toObject().value("kind").toString(), "file");
  JsonRun secret = bench.apply(net(sim),
                               "[ParaDefault]\nBlueToolthName=Till\nMulBlueToolthName=\n"
                               "BlueToolthPsw=far-too-long-secret\nBlueToolthType=1\n"
                               "BlueToolthMode=1\nBlueToolthCheck=0\n");
  EXPECT_EQ(secret.exitCode, 65);
  EXPECT_EQ(secret.out.find("far-too-long-secret"), std::string::npos) << secret.out;
  EXPECT_EQ(secret.err.find("far-too-long-secret"), std::string::npos) << secret.err;

  // A program for another model: refused after the link test, before any byte of it.
  std::string program(0x3100, '\xFF');
  program.replace(0x3000, 8, "OTHER123");
  bench.dir.write("fw.bin", program);
  JsonRun firmware = bench.apply(net(sim), "[Files]\nFirmware=fw.bin\n[ParaDefault]\nRptTime=9\n");
  EXPECT_EQ(firmware.exitCode, 65) << firmware.out;
  EXPECT_EQ(firmware.doc.value("error").toObject().value("kind").toString(), "refused");
  EXPECT_EQ(statuses(firmware).at("retract-time"), "not-run");
  // A program that names no model matches nothing ('' == '' is no match) unless asked for.
  program.replace(0x3000, 8, std::string(8, '\0'));
  bench.dir.write("fw.bin", program);
  JsonRun untagged = bench.apply(net(sim), "[Files]\nFirmware=fw.bin\n");
  EXPECT_EQ(untagged.exitCode, 65) << untagged.out;
  EXPECT_NE(untagged.doc.value("error").toObject().value("message").toString().indexOf(
                "--force-firmware"),
            -1);
  for (const auto& m : received(sim)) EXPECT_NE(m.find("identify"), std::string::npos) << m;
}

TEST(Apply, AFullProfileSetsEveryGroup) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  SimProcess sim(o);
  Bench bench;
  const std::string profile =
      "[ParaDefault]\n"
      "BaudRate=57600\nFlowcontrol=hard\nCodePage=EUC-KR\n"
      "FontValue=16x18\nDark=Dark\nForcePaper=0D\nbuzzer=0\nCutPaper=0\n"
      "sleepTime=120\npoweroffTime=3600\n"
      "BlueToolthName=Till\nMulBlueToolthName=\nBlueToolthPsw=1234\nBlueToolthType=3\n"
      "BlueToolthMode=2\nBlueToolthCheck=0\nBlueToolthWorkMode=high\n"
      "SSID=office\nStaModePsw=wifi-pass\nIpType=dhcp\nPort=9101\n"
      "NetworkName=\nNetworkPsw=\n"
      "NetIPAddress=127.0.0.1\nSubnetmask=255.255.0.0\ngatewayt=10.0.0.1\nMAC=ABCD01020304\n"
      "Netport=9102\nEthernet=on\n"
      "InfraredType=on\nInfraredBaurate=19200\nirdaProtecl=irda\n"
      "BlackMark=on\nBlacklookdistance=500\nBlackwidth=50\nCutteroptocoupler=60\n"
      "UsbDeviceTpe=printer\nPaperType=label\nPrinterOrder=reverse\nRptTime=20\n"
      "BluetoothSEEK=on\nPaperSizeType=2\n";
  JsonRun r = bench.apply(net(sim), profile, "--device 'Till 9' 1704270009");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(statuses(r).size(), 26u);
  for (const auto& [group, status] : statuses(r)) EXPECT_EQ(status, "done") << group;
  const QJsonObject st = sim.waitForState([](const QJsonObject& s) {
    return stateAt(s, {"settings"}).value("printSize").toInt() == 0;
  });
  const QJsonObject s = stateAt(st, {"settings"});
  const QJsonObject e = s.value("ethernet").toObject();
  const QJsonObject b = s.value("bluetooth").toObject();
  const QJsonObject w = s.value("wifi").toObject();
  const QJsonObject ir = s.value("infrared").toObject();
  const QJsonObject bm = s.value("blackMark").toObject();
  const std::vector<std::pair<const char*, bool>> checks{
      {"baud", s.value("baudCode").toInt() == 3},
      {"flow", s.value("flowControl").toInt() == 1},
      {"codepage", s.value("codePage").toInt() == 250},
      {"switches", s.value("switchByte").toInt() == 0x49 && s.value("feedChar").toInt() == 1},
      {"times", s.value("sleepTime").toInt() == 120 && s.value("powerOffTime").toInt() == 3600},
      {"bluetooth", b.value("name").toString() == "Till" && b.value("mode").toInt() == 3 &&
                        b.value("password").toString() == "1234" && b.value("model").toInt() == 3},
      {"bt-workmode", b.value("moduleCommands").toArray().last().toString() == "AT+HSM=2"},
      {"bt-hide", b.value("hidden").toBool()},
      {"wifi-sta", w.value("mode").toString() == "station" &&
                       w.value("ssid").toString() == "office" &&
                       w.value("addressMode").toInt() == 0 && w.value("port").toInt() == 9101},
      {"net", e.value("ip").toString() == "127.0.0.1" &&
                  e.value("mask").toString() == "255.255.0.0" &&
                  e.value("gateway").toString() == "10.0.0.1" && e.value("port").toInt() == 9102 &&
                  e.value("mac").toString().toLower() == "01020304" && e.value("enabled").toBool()},
      {"infrared", ir.value("enabled").toBool() && ir.value("baudCode").toInt() == 1 &&
                       ir.value("protocol").toInt() == 1},
      {"black mark", bm.value("enabled").toBool() && bm.value("searchDistance").toInt() == 500 &&
                         bm.value("width").toInt() == 50 && bm.value("cutterFeed").toInt() == 60},
      {"device options", s.value("usbType").toInt() == 1 && s.value("paperType").toInt() == 1 &&
                             s.value("printOrder").toInt() == 0xF1},
      {"retract-time", s.value("retractionTime").toInt() == 20},
      {"paper-size", s.value("printSize").toInt() == 0},
      {"device", s.value("deviceName").toString() == "Till 9" &&
                     s.value("serialNumber").toString() == "1704270009"},
  };
  for (const auto& [what, ok] : checks)
    EXPECT_TRUE(ok) << what << "\n" << QJsonDocument(s).toJson().toStdString();
  // The record holds the passwords only inside the hashes.
  const std::string record =
      bench.dir.read("apply/net-127.0.0.1-" + std::to_string(sim.udpPort()) + ".json");
  EXPECT_EQ(record.find("wifi-pass"), std::string::npos);
  EXPECT_EQ(record.find("1234\""), std::string::npos);
  EXPECT_NE(record.find("Till 9"), std::string::npos);
}
