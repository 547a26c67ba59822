// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "LptTestbed.h"
#include "TempDir.h"
#include "channels/LptStatus.h"
#include "channels/ParallelPortList.h"
#include "channels/TLptChannel.h"
#include "channels/TLptDeviceBox.h"
#include "platform/HeadlessDispatcher.h"

namespace plenar {
namespace {

using test::LptTestbed;

TEST(LptStatusTest, DecodesTheStatusRegister) {
  struct Case {
    std::uint8_t reg;
    bool busy, paperOut, selected, fault;
    const char* text;
  };
  const Case cases[] = {
      {0xD8, false, false, true, false, "ready"},
      {0xF0, false, true, true, true, "paper out, fault"},
      {0x58, true, false, true, false, "busy"},
      {0xC8, false, false, false, false, "offline"},
      {0x00, true, false, false, true, "busy, offline, fault"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.reg));
    const LptStatus s = decodeLptStatus(c.reg);
    EXPECT_EQ(s.busy, c.busy);
    EXPECT_EQ(s.paperOut, c.paperOut);
    EXPECT_EQ(s.selected, c.selected);
    EXPECT_EQ(s.fault, c.fault);
    EXPECT_EQ(describeLptStatus(s), c.text);
  }
}

TEST(LptStatusTest, IoBaseFromProcWithTheStandardDefault) {
  struct Case {
    const char* content;  // nullptr: no file
    std::uint16_t base;
  };
  const Case cases[] = {
      {"888\t0\n", 0x378}, {"632\t1656\n", 0x278}, {"956\t0\n", 0x3BC},   {nullptr, 0x378},
      {"", 0x378},         {"0\t0\n", 0x378},      {"70000\t0\n", 0x378}, {"abc\n", 0x378},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content ? c.content : "(none)");
    TempDir root;
    if (c.content) {
      std::filesystem::create_directories(root.file("sys/dev/parport/parport1"));
      root.write("sys/dev/parport/parport1/base-addr", c.content);
    }
    EXPECT_EQ(readLptIoBase(1, root.path()), c.base);
  }
}

TEST(ParallelPortListTest, ListsLpDevicesWithTheirIoBase) {
  struct Case {
    const char* name;
    std::vector<sim::LptPortIdentity> ports;
    std::vector<std::pair<std::string, std::uint16_t>> listed;
  };
  const Case cases[] = {
      {"none", {}, {}},
      {"one", {{.number = 1, .ioBase = 0x278}}, {{"LPT1", 0x278}}},
      {"no base file", {{.number = 1, .ioBase = std::nullopt}}, {{"LPT1", 0x378}}},
      {"lp beside its parport",
       {{.number = 2, .ioBase = 0x278, .lpUnderParport = false}},
       {{"LPT2", 0x278}}},
      {"number order",
       {{.number = 3, .ioBase = 0x3BC}, {.number = 1, .ioBase = 0x378}},
       {{"LPT1", 0x378}, {"LPT3", 0x3BC}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::Testbed testbed;
    std::vector<std::unique_ptr<sim::LptPortDevice>> ports;
    for (const auto& id : c.ports)
      ports.push_back(std::make_unique<sim::LptPortDevice>(testbed, id));
    std::vector<std::pair<std::string, std::uint16_t>> listed;
    for (const auto& p : listParallelPorts()) {
      EXPECT_EQ(p.name, "LPT" + std::to_string(p.number));
      listed.emplace_back(p.name, p.ioBase);
    }
    EXPECT_EQ(listed, c.listed);
  }
}

struct ShownBox {
  std::vector<std::string> lines;
  int selected = -2;
  int shows = 0;
  TLptDeviceBox box{[this](const std::vector<std::string>& l, int s) {
    lines = l;
    selected = s;
    ++shows;
  }};
};

TEST(LptDeviceBoxTest, EmptyWithoutPortsAndOpeningFails) {
  LptTestbed bed({}, /*withPort=*/false);
  TLptChannel lpt;
  ShownBox shown;
  shown.box.setChannel(&lpt);
  EXPECT_TRUE(shown.lines.empty());
  EXPECT_EQ(shown.selected, -1);
  lpt.setDirectMode(false);
  try {
    lpt.setActive(true);
    ADD_FAILURE() << "opened a port that is not there";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "LPT1 open is failed.\rNo such file or directory");
  }
}

TEST(LptDeviceBoxTest, SelectsThePortNumberAndPicksSetIt) {
  sim::Testbed testbed;
  sim::LptPortDevice lpt1(testbed, {.number = 1, .ioBase = 0x378});
  sim::LptPortDevice lpt2(testbed, {.number = 2, .ioBase = 0x278});
  auto lpt = std::make_unique<TLptChannel>();
  ShownBox shown;
  int changes = 0;
  shown.box.setOnChange([&] { ++changes; });
  shown.box.setChannel(lpt.get());
  EXPECT_EQ(shown.lines, (std::vector<std::string>{"LPT1", "LPT2"}));
  EXPECT_EQ(shown.selected, 0);

  shown.box.pick(1);
  EXPECT_EQ(lpt->LptPortNo(), 2);
  EXPECT_EQ(lpt->LptIOBase(), 0x278);  // the listed port's base comes with it
  EXPECT_EQ(shown.selected, 1);
  EXPECT_EQ(changes, 1);

  lpt->setLptPortNo(7);  // not listed: no selection
  EXPECT_EQ(shown.selected, -1);
  lpt->setLptPortNo(1);
  EXPECT_EQ(shown.selected, 0);

  // A pick that cannot reopen the port leaves it closed and does not fail the window.
  lpt->setDirectMode(false);
  lpt->setActive(true);
  lpt2.vanish();
  EXPECT_NO_THROW(shown.box.pick(1));
  EXPECT_FALSE(lpt->Active());
  EXPECT_EQ(changes, 2);

  lpt.reset();  // the box forgets the channel and its selection
  EXPECT_EQ(shown.box.Channel(), nullptr);
  EXPECT_EQ(shown.selected, -1);
}

TEST(LptDeviceBoxTest, FollowsPortsThatAppearAndDisappear) {
  sim::Testbed testbed;
  HeadlessDispatcher owner;  // this thread is its owner
  TLptChannel lpt(&owner);
  lpt.ports().watch();
  ShownBox shown;
  shown.box.setChannel(&lpt);
  ASSERT_TRUE(shown.lines.empty());

  auto waitFor = [&](std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (shown.lines.size() != count && std::chrono::steady_clock::now() < deadline) {
      owner.runFor(std::chrono::milliseconds(20));
    }
    return shown.lines.size() == count;
  };
  auto port = std::make_unique<sim::LptPortDevice>(testbed, sim::LptPortIdentity{});
  ASSERT_TRUE(waitFor(1));
  EXPECT_EQ(shown.lines[0], "LPT1");
  EXPECT_EQ(shown.selected, 0);
  port->vanish();
  EXPECT_TRUE(waitFor(0));
}

}  // namespace
}  // namespace plenar
