// SPDX-License-Identifier: GPL-3.0-or-later
// The direct control sequences and the user data frames against the simulator: the exact bytes,
// the link handling (port refresh, open and send), and failures reported like any other.

#include <gtest/gtest.h>

#include "SettingsFixture.h"
#include "engine/TCommThread.h"
#include "requests/BlackMarkRequests.h"
#include "requests/CustomDataRequests.h"
#include "requests/DeviceRequests.h"
#include "requests/NetworkRequests.h"

using namespace plenar;
using plenar::test::SimProcess;
using plenar::test::stateAt;

namespace {

// Waits (bounded) until the simulator has decoded `count` bytes of raw sequences.
Bytes awaitSequences(const SimProcess& sim, std::size_t count) {
  sim.waitForRecords([&](const std::vector<QJsonObject>&) {
    return sequenceBytes(received(sim)).size() >= count;
  });
  return sequenceBytes(received(sim));
}

}  // namespace

TEST(DirectSequences, BlackMarkSettingsAndSearch) {
  SimProcess sim;
  EngineHarness h;
  for (const auto& r : {buildBlackMarkMode(true), buildBlackMarkDistance("400"),
                        buildBlackMarkWidth("40"), buildCutterFeed("40"), buildFindBlackMark(false),
                        buildFindBlackMark(true), buildBlackMarkMode(false)}) {
    runSerial(h, sim, requestOf(r));
    EXPECT_EQ(h.messages().back().msg, 1026) << h.messages().back().error;
  }
  const Bytes expected{0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x44,        // mode on
                       0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06, 0x01, 0x90,  // distance 400
                       0x1F, 0x1B, 0x1F, 0x82, 0x04, 0x05, 0x06, 0x00, 0x28,  // width 40
                       0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x00, 0x28, 0x00,  // cutter feed 40
                       0x0C,                                                  // find
                       0x0C, 0x1B, 0x69,                                      // find and cut
                       0x1F, 0x1B, 0x1F, 0x80, 0x04, 0x05, 0x06, 0x66};       // mode off
  EXPECT_EQ(awaitSequences(sim, expected.size()), expected);
  QJsonObject mark = stateAt(sim.waitForState([](const QJsonObject& s) {
    return !stateAt(s, {"settings", "blackMark"}).value("enabled").toBool();
  }),
                             {"settings", "blackMark"});
  EXPECT_EQ(mark.value("searchDistance").toInt(), 400);
  EXPECT_EQ(mark.value("width").toInt(), 40);
  EXPECT_EQ(mark.value("cutterFeed").toInt(), 40);
}

TEST(DirectSequences, EthernetSettingsRefreshTheSerialPort) {
  SimProcess sim;
  EngineHarness h;
  // A link test leaves the serial channel named and at the device rate; the Ethernet sequences
  // reopen it as it is, without the rate switch or the identify frame.
  runSerial(h, sim, [] {
    CommandRequest r;
    r.code = 1;
    return r;
  }());
  for (const auto& r : {buildNetworkAddress("10.0.0.7"), buildNetworkMask("255.255.0.0"),
                        buildNetworkGateway("192.168.1.1"), buildNetworkPort("9100"),
                        buildNetworkMac({"0A", "0B", "0C", "0D"})}) {
    runSerial(h, sim, requestOf(r));
    EXPECT_EQ(h.messages().back().msg, 1026) << h.messages().back().error;
  }
  const Bytes expected{0x1F, 0x49, 10,   0,    0,    7,    0x00,   // address, fifth byte 0
                       0x1F, 0x53, 255,  255,  0,    0,    0x00,   // mask
                       0x1F, 0x4E, 0xC0, 0xA8, 0x01, 0x01,         // gateway
                       0x1F, 0x50, 0x23, 0x8C,                     // port 9100
                       0x1F, 0x4D, 0x0A, 0x0B, 0x0C, 0x0D, 0x00};  // MAC, fifth byte 0
  EXPECT_EQ(awaitSequences(sim, expected.size()), expected);
  for (const auto& r : received(sim, true)) {
    if (r.kind == "frame") {
      EXPECT_TRUE(r.command == 0x30 || r.command == 0x31);
    }
  }
  QJsonObject eth = stateAt(sim.waitForState([](const QJsonObject& s) {
    return stateAt(s, {"settings", "ethernet"}).value("mac").toString() != "65666768";
  }),
                            {"settings", "ethernet"});
  EXPECT_EQ(eth.value("ip").toString(), "10.0.0.7");
  EXPECT_EQ(eth.value("mask").toString(), "255.255.0.0");
  EXPECT_EQ(eth.value("port").toInt(), 9100);

  // The port stays open after the sequence; the next framed command still opens the link.
  runSerial(h, sim, requestOf(buildSetPaperSize(0)));
  EXPECT_EQ(h.messages().back().msg, 1026) << h.messages().back().error;
}

TEST(DirectSequences, DeviceOptionsHidingLogosAndTestPage) {
  SimProcess sim;
  EngineHarness h;
  std::vector<BuildResult> requests{
      buildSetDeviceOption(DeviceOption::PrintOrder, 0),
      buildSetDeviceOption(DeviceOption::PrintOrder, 1),
      buildSetDeviceOption(DeviceOption::UsbType, 1),
      buildSetDeviceOption(DeviceOption::PaperType, 1),
  };
  for (const auto& r : requests) runSerial(h, sim, requestOf(r));
  CommandRequest logos;
  logos.code = 17;
  logos.logoNumbers = "2,5";
  runSerial(h, sim, logos);
  EXPECT_EQ(h.messages().back().msg, 1026) << h.messages().back().error;
  runSerial(h, sim, requestOf(buildBluetoothHiding(0)));
  const Bytes expected{0x1B, 0x7B, 0xF1, 0x1B, 0x7B, 0xF0, 0x12, 0x55, 0x01, 0x1F, 0x41,
                       0x01, 0x1C, 0x70, 0x02, 0x00, 0x1C, 0x70, 0x05, 0x00, 0x8E, 0x01};
  EXPECT_EQ(awaitSequences(sim, expected.size()), expected);

  // The test page goes out as one raw block of exactly its 235 bytes, ending in feed and cut.
  CommandRequest page = requestOf(buildTestPage());
  runSerial(h, sim, page);
  EXPECT_EQ(h.messages().back().msg, 1026) << h.messages().back().error;
  auto blocks = sentBlocks(h);
  ASSERT_FALSE(blocks.empty());
  EXPECT_TRUE(std::find(blocks.begin(), blocks.end(), page.paraBuf) != blocks.end());
  Bytes got = awaitSequences(sim, expected.size() + 200);
  ASSERT_GE(got.size(), 3u);
  EXPECT_EQ((Bytes(got.end() - 3, got.end())), (Bytes{0x0C, 0x1B, 0x69}));
  // The logos leave the printer at the device rate, so the commands after them still connect.
  int restored = 0;
  for (const auto& r : received(sim, true)) restored += r.command == 0x31 && r.value1 == 0;
  EXPECT_EQ(restored, 6);  // four options, the logos, the test page
  QJsonObject s = stateAt(sim.waitForState([](const QJsonObject& st) {
    return stateAt(st, {"settings", "bluetooth"}).value("hidden").toBool();
  }),
                          {"settings"});
  EXPECT_EQ(s.value("printOrder").toInt(), 0xF0);
  EXPECT_EQ(s.value("usbType").toInt(), 1);
  EXPECT_EQ(s.value("paperType").toInt(), 1);
}

TEST(DirectSequences, MalformedLogoNumbersAndUnopenablePortsAreReportedFailures) {
  SimProcess sim;
  EngineHarness h;
  CommandRequest logos;
  logos.code = 17;
  logos.logoNumbers = "2,x";
  runSerial(h, sim, logos);
  EXPECT_EQ(h.messages().back().msg, 1027);
  EXPECT_EQ(h.messages().back().wParam, 1);
  EXPECT_EQ(h.messages().back().error, "'x' is not a valid integer value");

  h.run(requestOf(buildBlackMarkMode(true)), serialLink("/dev/plenar-no-such-port"));
  EXPECT_EQ(h.messages().back().msg, 1027);
  EXPECT_EQ(h.messages().back().wParam, 1);
  EXPECT_EQ(h.messages().back().error, "Error opening serial port");
  EXPECT_TRUE(sequenceBytes(received(sim)).empty());
}

TEST(UserData, ThreeAndZeroBytesAreTheDocumentedFrames) {
  SimProcess sim;
  EngineHarness h;
  runSerial(h, sim, [] {
    CommandRequest r;
    r.code = 1;
    return r;
  }());
  runSerial(h, sim, requestOf(buildSendCustomData({"1B40", " 0A "}, true)));
  EXPECT_EQ(h.messages().back().msg, 1026) << h.messages().back().error;
  auto blocks = sentBlocks(h);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0], (Bytes{0x02, 0x00, 0x92, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                              0x00, 0x00, 0x03, 0x00, 0x93, 0x00, 0x1B, 0x40, 0x0A, 0x51}));

  runSerial(h, sim, requestOf(buildSendCustomData({}, true)));
  blocks = sentBlocks(h);
  ASSERT_EQ(blocks.size(), 1u);
  EXPECT_EQ(blocks[0], (Bytes{0x02, 0x00, 0x92, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                              0x00, 0x00, 0x00, 0x90, 0x00}));
  auto frames = sim.waitForRecords([](const std::vector<QJsonObject>& rs) {
    int n = 0;
    for (const auto& r : rs) n += r.value("command").toInt() == 0x92;
    return n == 2;
  });
  int seen = 0;
  for (const auto& r : frames) seen += r.value("command").toInt() == 0x92;
  EXPECT_EQ(seen, 2);
}

TEST(UserData, LongDataGoesOutWholeInFrameSizedPieces) {
  SimProcess sim;
  EngineHarness h;
  runSerial(h, sim, [] {
    CommandRequest r;
    r.code = 1;
    return r;
  }());
  CommandRequest r;
  r.code = 49;
  for (int i = 0; i < 5000; ++i) r.dataStream.push_back(static_cast<std::uint8_t>('A' + i % 26));
  runSerial(h, sim, r);
  EXPECT_EQ(h.messages().back().msg, 1026) << h.messages().back().error;

  auto blocks = sentBlocks(h);
  ASSERT_EQ(blocks.size(), 5u);
  Bytes joined;
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const Bytes& b = blocks[i];
    std::size_t n = b[12] | (b[13] << 8);
    EXPECT_EQ(b[2], 0x92);
    EXPECT_EQ(n, i < 4 ? 1016u : 5000u - 4 * 1016u);
    EXPECT_EQ(b.size(), n + 17);
    joined.insert(joined.end(), b.begin() + 16, b.begin() + 16 + n);
  }
  EXPECT_EQ(joined, r.dataStream);
}
