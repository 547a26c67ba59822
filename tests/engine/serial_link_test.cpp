// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include "EngineHarness.h"
#include "SimProcess.h"
#include "shared/Errors.h"
#include "shared/Frame.h"

using namespace plenar;
using plenar::test::SimProcess;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct FrameSeen {
  int command;
  long long value1;
  int rate;
};

// The frames the simulator received, in order.
std::vector<FrameSeen> framesSeen(const SimProcess& sim) {
  std::vector<FrameSeen> out;
  for (const auto& r : sim.records()) {
    if (r.value("kind").toString() != "frame") continue;
    out.push_back({r.value("command").toInt(), r.value("value1").toVariant().toLongLong(),
                   r.value("rate").toInt()});
  }
  return out;
}

CommandRequest linkTest() {
  CommandRequest r;
  r.code = 1;
  return r;
}

}  // namespace

TEST(SerialLink, LinkTestSwitchesToTheTransferRateAndBack) {
  SimProcess sim;
  EngineHarness h;
  const std::string port = sim.serialPath();
  h.run(linkTest(), serialLink(port, "9600", "115200"));

  auto msgs = h.messages();
  ASSERT_GE(msgs.size(), 2u);
  EXPECT_EQ(msgs[msgs.size() - 2].msg, 1024);
  EXPECT_EQ(msgs.back().msg, 1026);
  auto progress = h.progressTexts();
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), "Checking" + port);
  EXPECT_EQ(msgs.back().status, port + "Found");

  // The trace: port opened, 0x31 (16 bytes) at 9600, identify (25 bytes), 0x31 back, closed.
  std::vector<std::string> kinds;
  for (const auto& line : h.traceHeads()) {
    if (line.rfind("Open", 0) == 0) kinds.push_back("open");
    if (line.rfind("Close", 0) == 0) kinds.push_back("close");
    if (line.rfind("Send 16 Bytes", 0) == 0) kinds.push_back("switch");
    if (line.rfind("Send 25 Bytes", 0) == 0) kinds.push_back("identify");
  }
  EXPECT_EQ(kinds, (std::vector<std::string>{"open", "switch", "identify", "switch", "close"}));
  EXPECT_EQ(h.traceHeads().front().rfind("Open" + port + " ", 0), 0u);

  auto frames = framesSeen(sim);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].command, 0x31);
  EXPECT_EQ(frames[0].value1, 4);
  EXPECT_EQ(frames[0].rate, 9600);
  EXPECT_EQ(frames[1].command, 0x30);
  EXPECT_EQ(frames[1].rate, 115200);
  EXPECT_EQ(frames[2].command, 0x31);
  EXPECT_EQ(frames[2].value1, 0);
  EXPECT_EQ(h.link().printerModelTag(), "PLENAR80");
}

TEST(SerialLink, EqualRatesSendNoSwitch) {
  SimProcess sim;
  EngineHarness h;
  h.run(linkTest(), serialLink(sim.serialPath(), "9600", "9600"));
  EXPECT_EQ(h.messages().back().msg, 1026);
  auto frames = framesSeen(sim);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].command, 0x30);
}

TEST(SerialLink, NoiseBeforeAndSplitRepliesStillAssemble) {
  for (const char* fault : {"noise:5", "split:7"}) {
    SimProcess::Options o;
    o.extraArgs = {"--fault", fault};
    SimProcess sim(o);
    EngineHarness h;
    h.run(linkTest(), serialLink(sim.serialPath()));
    EXPECT_EQ(h.messages().back().msg, 1026) << fault;
  }
}

TEST(SerialLink, AWrongDataCheckLeadsToARetry) {
  SimProcess::Options o;
  o.extraArgs = {"--fault", "corrupt-data-every:2"};
  SimProcess sim(o);
  EngineHarness h;
  int length = -1;
  Bytes reply(2049);
  h.runRoutine(serialLink(sim.serialPath(), "9600", "9600"), [&](TCommThread& w) {
    w.runGuarded([&] {
      h.link().openLink();  // identify: first answer, intact
      length = h.link().framedRead(0x34, 0x1000, 0, {}, reply, 3);  // second answer corrupt
    });
  });
  EXPECT_EQ(h.messages().back().msg, 1026) << h.messages().back().error;
  EXPECT_EQ(length, 256);
  int reads = 0;
  for (auto& f : framesSeen(sim)) reads += f.command == 0x34;
  EXPECT_EQ(reads, 2);
}

TEST(SerialLink, ThreeUnansweredAttemptsFail) {
  SimProcess::Options o;
  o.extraArgs = {"--fault", "silent"};
  SimProcess sim(o);
  EngineHarness h;
  h.runRoutine(serialLink(sim.serialPath()), [&](TCommThread& w) {
    w.runGuarded([&] {
      h.link().reopenSerialPort(w.request().link.serialPort);
      h.link().framedRequest(0x80, 0, 0, Bytes{0}, 3);
    });
    h.link().closeLink();
  });
  auto last = h.messages().back();
  EXPECT_EQ(last.msg, 1027);
  EXPECT_EQ(last.wParam, 1);
  EXPECT_EQ(last.error, "Download Data Failed");
  int sent = 0;
  for (auto& line : h.traceHeads()) sent += line.rfind("Send 18 Bytes", 0) == 0;
  EXPECT_EQ(sent, 3);
}

TEST(SerialLink, APortThatCannotOpenFailsTheTest) {
  EngineHarness h;
  h.run(linkTest(), serialLink("/dev/plenar-no-such-port"));
  auto msgs = h.messages();
  ASSERT_GE(msgs.size(), 2u);
  EXPECT_EQ(msgs[msgs.size() - 2].msg, 1028);
  EXPECT_EQ(msgs.back().error, "Connecting Failed");
}

TEST(SerialLink, ARateBoxWithoutANumberFailsWithAClearText) {
  SimProcess sim;
  EngineHarness h;
  CommandRequest r;
  r.code = 25;
  h.worker().setRoutine(25, [&](TCommThread& w) { w.runGuarded([&] { h.link().openLink(); }); });
  h.run(r, serialLink(sim.serialPath(), "9600", "fast"));
  EXPECT_EQ(h.messages().back().msg, 1027);
  EXPECT_NE(h.messages().back().error.find("'fast'"), std::string::npos);
  EXPECT_TRUE(framesSeen(sim).empty());
}

TEST(UdpLink, LinkTestAgainstTheSimulator) {
  SimProcess::Options o;
  o.serial = false;
  o.udp = true;
  SimProcess sim(o);
  EngineHarness h;
  h.run(linkTest(), networkLink(sim.udpPort(), sim.udpHost()));
  EXPECT_EQ(h.messages().back().msg, 1026);
  EXPECT_EQ(h.messages().back().status,
            sim.udpHost() + ":" + std::to_string(sim.udpPort()) + " Found");
}
