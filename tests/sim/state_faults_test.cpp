// SPDX-License-Identifier: GPL-3.0-or-later
// The state file, the answer faults and the line model.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <vector>

#include "Faults.h"
#include "LineModel.h"
#include "SimOptions.h"
#include "SimTestUtil.h"
#include "StateJson.h"

namespace plenar::sim::test {
namespace {

TEST(StateFile, SavedStateLoadsBackWhole) {
  PrinterState s;
  s.modelTag = "PT80";
  s.settings.codePage = 252;
  s.settings.bluetooth.name = "\xC0\xB6\xD1\xC0";  // GBK
  s.settings.wifi.mode = "station";
  s.settings.wifi.ip = {10, 0, 0, 9};
  s.settings.ethernet.macExtra = 3;
  s.memory.write(0x1CF000, std::vector<std::uint8_t>{1, 2, 3});
  s.memory.write(0x10, std::vector<std::uint8_t>{9});
  s.logos.push_back({1, 1, std::vector<std::uint8_t>(8, 0xAA)});
  s.firmware.image = {5, 6, 7};
  s.firmware.size = 3;
  s.firmware.sha256 = "abc";
  s.addJournal("text", "hello");

  auto dir = std::filesystem::temp_directory_path() / ("sim-state-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "state.json").string();
  ASSERT_TRUE(saveStateFile(path, s));
  PrinterState t;
  ASSERT_TRUE(loadStateFile(path, t));
  std::filesystem::remove_all(dir);

  EXPECT_EQ(t.modelTag, "PT80");
  EXPECT_EQ(t.settings.codePage, 252);
  EXPECT_EQ(t.settings.bluetooth.name, s.settings.bluetooth.name);
  EXPECT_EQ(t.settings.wifi.ip, s.settings.wifi.ip);
  EXPECT_EQ(t.settings.ethernet.macExtra, 3);
  ASSERT_EQ(t.memory.writtenRanges().size(), 2u);
  EXPECT_EQ(t.memory.read(0x1CF000, 4), bytesOf({1, 2, 3, 0xFF}));
  ASSERT_EQ(t.logos.size(), 1u);
  EXPECT_EQ(t.logos[0].raster, s.logos[0].raster);
  EXPECT_EQ(t.firmware.image, s.firmware.image);
  ASSERT_EQ(t.journal.size(), 1u);

  const nlohmann::json o = stateToJson(s);
  EXPECT_EQ(o["settings"]["bluetooth"]["name"], "蓝牙");
  EXPECT_EQ(o["memory"][1]["hex"], "010203");
  EXPECT_EQ(o["nvLogos"]["count"], 1);
}

TEST(StateFile, MissingOrBrokenFileLeavesTheDefaults) {
  PrinterState s;
  EXPECT_FALSE(loadStateFile("/nonexistent/state.json", s));
  EXPECT_EQ(s.modelTag, "PLENAR80");
}

TEST(Faults, CountersHitTheSameRepliesEveryRun) {
  FaultConfig c;
  ASSERT_FALSE(parseFault("drop-every:3", c));
  ASSERT_FALSE(parseFault("corrupt-data-every:2", c));
  FaultInjector f(c, 7);
  auto ack = frame(0x80);
  auto data = frame(0x30, 0, 0, {1, 2, 3});
  std::vector<bool> sent;
  for (int i = 0; i < 3; ++i) sent.push_back(!f.plan(ack, true).writes.empty());
  EXPECT_EQ(sent, (std::vector<bool>{true, true, false}));

  auto first = f.plan(data, true);  // reply 4, first with data
  ASSERT_EQ(first.writes.size(), 1u);
  EXPECT_EQ(first.writes[0], data);
  auto second = f.plan(data, true);  // reply 5, second with data
  ASSERT_EQ(second.writes.size(), 1u);
  EXPECT_TRUE(headerValid(second.writes[0]));
  EXPECT_FALSE(dataValid(std::span(second.writes[0]).subspan(16)));
}

TEST(Faults, HeaderCorruptionNoiseAndSplit) {
  FaultConfig c;
  ASSERT_FALSE(parseFault("corrupt-header-every:1", c));
  ASSERT_FALSE(parseFault("noise:5", c));
  ASSERT_FALSE(parseFault("split:10", c));
  FaultInjector f(c, 1);
  auto ack = frame(0x31, 4);
  auto p = f.plan(ack, true);
  ASSERT_EQ(p.writes.size(), 2u);
  EXPECT_EQ(p.writes[0].size(), 10u);
  std::vector<std::uint8_t> all = p.writes[0];
  all.insert(all.end(), p.writes[1].begin(), p.writes[1].end());
  ASSERT_EQ(all.size(), 21u);
  for (int i = 0; i < 5; ++i) EXPECT_NE(all[i], 0x02);
  std::vector<std::uint8_t> reply(all.begin() + 5, all.end());
  EXPECT_EQ(reply[0], 0x02);
  EXPECT_FALSE(headerValid(reply));

  FaultConfig silent;
  ASSERT_FALSE(parseFault("silent", silent));
  EXPECT_TRUE(FaultInjector(silent, 1).plan({0x61}, false).writes.empty());
}

TEST(Faults, MalformedSpecsAreRejected) {
  FaultConfig c;
  EXPECT_TRUE(parseFault("drop-every", c));
  EXPECT_TRUE(parseFault("drop-every:x", c));
  EXPECT_TRUE(parseFault("unplug:3", c));
  bool help = false;
  EXPECT_THROW(parseSimOptions({"--fault", "nonsense"}, help), std::invalid_argument);
  EXPECT_THROW(parseSimOptions({"--baud", "12345"}, help), std::invalid_argument);
  EXPECT_THROW(parseSimOptions({"--read-chunk", "3000"}, help), std::invalid_argument);
  SimOptions o = parseSimOptions({"--serial-link", "/tmp/x", "--udp", "--pace"}, help);
  EXPECT_EQ(o.udp.value_or(""), kDefaultUdp);
  EXPECT_TRUE(o.pace);
}

TEST(LineModel, RatesAndFormatsThePrinterAccepts) {
  LineSettings tool;
  tool.sendRate = tool.receiveRate = 9600;
  EXPECT_TRUE(toolSendsMatch(tool, 9600));
  EXPECT_FALSE(toolSendsMatch(tool, 115200));
  tool.parity = true;
  EXPECT_FALSE(toolSendsMatch(tool, 9600));
  tool.parity = false;
  tool.receiveRate = 19200;
  EXPECT_TRUE(toolSendsMatch(tool, 9600));
  EXPECT_FALSE(toolReceivesMatch(tool, 9600));

  EXPECT_EQ(garbledCount(25, 9600, 115200), 25u);
  EXPECT_EQ(garbledCount(25, 115200, 9600), 2u);
  EXPECT_EQ(garbledCount(1, 230400, 1200), 1u);
}

// The pacer's sleeps against when the answered request ended. 100 bytes at 10000 bit/s are 100 ms
// on the line. Sleeps are measured from the call, so each expectation allows a few ms of slack.
TEST(LineModel, AnAnswerTakesTheLineFromTheEndOfItsRequest) {
  using namespace std::chrono;
  using Clock = LinePacer::Clock;
  struct Case {
    const char* what;
    std::optional<milliseconds> requestEnded;  // before the call (negative: after it)
    milliseconds expectedSleep;
  };
  const Case cases[] = {
      {"no request: from now", std::nullopt, 100ms},
      {"request ended 60 ms ago", 60ms, 40ms},
      {"request ended long ago: no wait", 300ms, 0ms},
      {"request ends later: from now", -50ms, 100ms},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<Clock::duration> sleeps;
    LinePacer pacer([&](Clock::duration d) {
      sleeps.push_back(d);
      return true;
    });
    std::optional<Clock::time_point> answering;
    if (c.requestEnded) answering = Clock::now() - *c.requestEnded;
    ASSERT_TRUE(pacer.pass(100, 10000, answering));
    const auto slept = sleeps.empty() ? Clock::duration::zero() : sleeps.front();
    EXPECT_LE(slept, c.expectedSleep);
    EXPECT_GE(slept, c.expectedSleep - 5ms);
    // The next bytes follow on from these, whatever the request did.
    const auto freeAt = pacer.lineFreeAt();
    ASSERT_TRUE(pacer.pass(100, 10000, Clock::now() - 1s));
    EXPECT_EQ(duration_cast<microseconds>(pacer.lineFreeAt() - freeAt), 100ms);
  }
}

TEST(Noise, NeverLooksLikeAReplyOrTheBootAnswer) {
  NoiseSource n(42);
  for (auto b : n.bytes(5000)) {
    EXPECT_NE(b, 0x02);
    EXPECT_NE(b, 0x61);
  }
  EXPECT_EQ(NoiseSource(9).bytes(16), NoiseSource(9).bytes(16));
}

}  // namespace
}  // namespace plenar::sim::test
