// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QJsonObject>
#include <algorithm>

#include "FileTestSupport.h"
#include "requests/FileActions.h"
#include "shared/SharedTexts.h"

using namespace plenar;
using namespace plenar::test;

namespace {

Bytes programFile(std::size_t size, const std::string& tag) {
  Bytes p = patternBytes(size, 5);
  if (size >= 0x3000 + 8) {
    std::fill_n(p.begin() + 0x3000, 8, 0);
    std::copy(tag.begin(), tag.end(), p.begin() + 0x3000);
  }
  return p;
}

CommandRequest updateRequest(const Bytes& program, int waitMs = 100, bool force = false) {
  CommandRequest r;
  r.code = 4;
  r.dataStream = program;
  r.value2 = waitMs;
  r.forceFirmware = force;
  return r;
}

std::vector<int> commands(const std::vector<SeenFrame>& frames) {
  std::vector<int> out;
  for (const auto& f : frames) out.push_back(f.command);
  return out;
}

class Firmware : public ::testing::Test {
 protected:
  void SetUp() override { resetTexts(); }
};

TEST_F(Firmware, ProgramForAnotherModelStopsBeforeTheConnectFrame) {
  SimProcess sim;
  EngineHarness h;
  h.run(updateRequest(programFile(0x3100, "other")), serialLink(sim.serialPath()));

  auto last = lastMessage(h.messages());
  EXPECT_EQ(last.msg, 1027);
  EXPECT_EQ(last.error, "程序文件错误");
  auto progress = h.progressTexts();
  EXPECT_NE(std::find(progress.begin(), progress.end(), "程序文件错误"), progress.end());
  // identify at the transfer rate, then the device rate restored; nothing for the boot loader
  EXPECT_EQ(commands(framesSeen(sim)), (std::vector<int>{0x31, 0x30, 0x31}));
  EXPECT_EQ(sim.state().value("firmware").toObject().value("updates").toInt(), 0);
}

TEST(FirmwareTags, OnlyTwoEqualTagsOrAForcedMissingOnePass) {
  struct Case {
    const char *printer, *file;
    bool force, passes;
  };
  for (const Case& c :
       {Case{"PLENAR80", "PLENAR80", false, true}, Case{"PLENAR80", "OTHER", false, false},
        Case{"PLENAR80", "OTHER", true, false}, Case{"", "", false, false},
        Case{"", "PLENAR80", false, false}, Case{"PLENAR80", "", false, false},
        Case{"", "", true, true}, Case{"", "PLENAR80", true, true},
        Case{"PLENAR80", "", true, true}}) {
    EXPECT_EQ(!firmwareTagRefusal(c.printer, c.file, c.force).has_value(), c.passes)
        << "'" << c.printer << "' '" << c.file << "' force " << c.force;
  }
}

TEST_F(Firmware, EmptyTagsStopBeforeTheConnectFrameUnlessForced) {
  // The printer reports an empty tag, as does a program of 0x3000 bytes or less: '' == '' says
  // nothing about the model.
  SimProcess sim(simOptions({"--model", ""}));
  EngineHarness h;
  h.run(updateRequest(programFile(600, "")), serialLink(sim.serialPath()));
  auto last = lastMessage(h.messages());
  EXPECT_EQ(last.msg, 1027);
  EXPECT_EQ(last.error, "程序文件错误");
  EXPECT_EQ(commands(framesSeen(sim)), (std::vector<int>{0x31, 0x30, 0x31}));
  EXPECT_EQ(sim.state().value("firmware").toObject().value("updates").toInt(), 0);
}

TEST_F(Firmware, SmallProgramGoesOutInPaddedBlocksThenTheEndFrame) {
  // The printer reports an empty tag, as does a program of 0x3000 bytes or less: forced.
  SimProcess sim(simOptions({"--model", ""}));
  EngineHarness h;
  Bytes program = programFile(600, "");
  h.run(updateRequest(program, 100, true), serialLink(sim.serialPath()));
  auto last = lastMessage(h.messages());
  ASSERT_EQ(last.msg, 1026) << last.error;
  EXPECT_EQ(last.status, "更新程序完成");

  auto frames = framesSeen(sim);
  auto connect = std::find_if(frames.begin(), frames.end(),
                              [](const SeenFrame& f) { return f.command == 0x32; });
  ASSERT_NE(connect, frames.end());
  std::vector<SeenFrame> after(connect, frames.end());
  ASSERT_EQ(commands(after), (std::vector<int>{0x32, 0x33, 0x33, 0x33, 0x2E}));
  for (int i = 0; i < 3; ++i) {
    const SeenFrame& block = after[1 + i];
    EXPECT_EQ(block.value1, 256u * i);
    ASSERT_EQ(block.data.size(), 256u);
    std::size_t real = std::min<std::size_t>(256, 600 - 256 * i);
    EXPECT_TRUE(
        std::equal(block.data.begin(), block.data.begin() + real, program.begin() + 256 * i));
    EXPECT_TRUE(std::all_of(block.data.begin() + real, block.data.end(),
                            [](std::uint8_t b) { return b == 0xFF; }));
  }
  auto progress = h.progressTexts();
  for (const char* text : {"连接...", "连接完成", "等待5秒..."}) {
    EXPECT_NE(std::find(progress.begin(), progress.end(), text), progress.end()) << text;
  }
  Bytes stored = program;
  stored.resize(768, 0xFF);
  QJsonObject fw = sim.waitForState([](const QJsonObject& s) {
                        return s.value("firmware").toObject().value("updates").toInt() == 1;
                      })
                       .value("firmware")
                       .toObject();
  EXPECT_EQ(fw.value("size").toInt(), 768);
  EXPECT_EQ(fromHex(fw.value("hex").toString()), stored);
}

TEST_F(Firmware, TaggedProgramIsStoredAndBootQuietEnds) {
  SimProcess sim;
  EngineHarness h;
  h.link().state().setBootQuiet(true);  // left over from a boot handshake
  Bytes program = programFile(0x3100, "plenar80");
  h.run(updateRequest(program), serialLink(sim.serialPath()));
  ASSERT_EQ(lastMessage(h.messages()).msg, 1026) << lastMessage(h.messages()).error;
  EXPECT_FALSE(h.link().state().bootQuiet());
  EXPECT_EQ(framesSeen(sim, 0x33).size(), 0x31u);
  EXPECT_EQ(h.progressTexts().back(), "更新程序完成");

  QJsonObject state = sim.waitForState([](const QJsonObject& s) {
    return s.value("firmware").toObject().value("updates").toInt() == 1;
  });
  QJsonObject fw = state.value("firmware").toObject();
  EXPECT_EQ(fromHex(fw.value("hex").toString()), program);
  EXPECT_EQ(fw.value("tag").toString(), "PLENAR80");
}

TEST_F(Firmware, UnansweredBlockFails) {
  // The printer answers identify and connect, then its network link goes away.
  SimProcess sim(simOptions({"--model", "", "--fault", "close-after:2"}, Over::Udp));
  EngineHarness h;
  h.run(updateRequest(programFile(600, ""), 100, true), networkLink(sim.udpPort()));
  auto last = lastMessage(h.messages());
  EXPECT_EQ(last.msg, 1027);
  EXPECT_EQ(last.wParam, 1);
  EXPECT_EQ(last.error, "Download Data Failed");
  EXPECT_FALSE(h.link().state().bootQuiet());
}

TEST(BootHandshake, PrinterAnswersOnTheFirstPass) {
  SimProcess sim;
  EngineHarness h;
  h.run(bootHandshakeRequest(), serialLink(sim.serialPath()));
  EXPECT_EQ(lastMessage(h.messages()).msg, 1026);
  EXPECT_TRUE(h.link().state().bootConfirmed());
  EXPECT_TRUE(h.link().state().bootQuiet());
  EXPECT_TRUE(h.link().state().bootFlag());
  EXPECT_EQ(h.worker().reply().firstByte(), 0xFF);
  EXPECT_EQ(recordsOfKind(sim, "boot").size(), 1u);
  int sent = 0;
  for (const auto& line : h.traceHeads()) {
    if (line.rfind("Send 1 Bytes", 0) == 0) ++sent;
  }
  EXPECT_EQ(sent, 1);
}

TEST(BootHandshake, PortLeftOpenByAnEarlierRunIsReopened) {
  SimProcess sim(simOptions({"--no-boot"}));
  EngineHarness h;
  // The first run gets no answer and leaves the port open with LinkOpen set.
  h.run(bootHandshakeRequest(2), serialLink(sim.serialPath()));
  EXPECT_TRUE(h.link().state().linkOpen());
  EXPECT_FALSE(h.link().state().bootConfirmed());
  // A second run still sends its bytes.
  h.run(bootHandshakeRequest(3), serialLink(sim.serialPath()));
  int sent = 0;
  for (const auto& line : h.traceHeads()) {
    if (line.rfind("Send 1 Bytes", 0) == 0) ++sent;
  }
  EXPECT_EQ(sent, 3);
  EXPECT_EQ(lastMessage(h.messages()).msg, 1026);  // an unanswered handshake is no failure
}

}  // namespace
