// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "LptTestbed.h"
#include "channels/TLptChannel.h"
#include "shared/Errors.h"

namespace plenar {
namespace {

using test::LptTestbed;

std::vector<std::uint8_t> bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

// The message an operation fails with ("" when it does not fail).
template <typename F>
std::string failure(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

// The reason line an opening failure carries for the user.
template <typename F>
std::string reasonOf(F&& f) {
  try {
    f();
  } catch (const ECommsError& e) {
    return e.reason();
  }
  return "";
}

TLptChannel& commonMode(TLptChannel& lpt, int number = 1) {
  lpt.setDirectMode(false);
  lpt.setLptPortNo(static_cast<std::uint8_t>(number));
  return lpt;
}

TEST(LptChannelTest, PortPropertyFollowsPortNumber) {
  TLptChannel lpt;
  EXPECT_EQ(lpt.LptPort(), TLptPorts::lpLPT1);
  EXPECT_TRUE(lpt.DirectMode());
  EXPECT_EQ(lpt.Handle(), 0xFFFFFFFFu);
  lpt.setLptPortNo(5);
  EXPECT_EQ(lpt.LptPort(), TLptPorts::lpLPTxx);
  lpt.setLptPort(TLptPorts::lpLPTxx);
  EXPECT_EQ(lpt.LptPortNo(), 5);
  lpt.setLptPort(TLptPorts::lpLPT3);
  EXPECT_EQ(lpt.LptPortNo(), 3);
  EXPECT_EQ(lpt.LptPort(), TLptPorts::lpLPT3);
}

TEST(LptChannelTest, CommonModeInitialisesOnceAndWritesInOrder) {
  LptTestbed bed;
  TLptChannel lpt;
  commonMode(lpt).setActive(true);
  lpt.setActive(true);  // already open: no second open, no second initialise
  EXPECT_TRUE(lpt.Active());
  EXPECT_EQ(bed.port->resets(), 1);
  EXPECT_NE(lpt.Handle(), 0xFFFFFFFFu);

  lpt.WriteBuffer(nullptr, 0);
  lpt.WriteText("");
  EXPECT_TRUE(bed.port->takeReceived().empty());

  const auto sequence = bytes("\x1b@Hello\n");
  lpt.WriteBuffer(sequence.data(), sequence.size());
  lpt.WriteByte(0x0A);
  lpt.WriteText("end");
  EXPECT_EQ(bed.port->takeReceived(), bytes("\x1b@Hello\n\nend"));

  lpt.setActive(false);
  EXPECT_FALSE(lpt.Active());
  EXPECT_EQ(lpt.Handle(), 0xFFFFFFFFu);
  lpt.WriteText("lost");  // closed: nothing happens
  EXPECT_TRUE(bed.port->takeReceived().empty());
}

TEST(LptChannelTest, OpenFailsWithThePortsMessage) {
  LptTestbed bed({}, /*withPort=*/false);
  TLptChannel lpt;
  commonMode(lpt);
  EXPECT_EQ(failure([&] { lpt.setActive(true); }),
            "LPT1 open is failed.\rNo such file or directory");
  EXPECT_FALSE(lpt.Active());
  EXPECT_EQ(reasonOf([&] {
              lpt.setActive(true);
            }).rfind("/dev/lp0: No such file or directory. The device does not exist", 0),
            0u);

  // A handler may keep the error from being raised; the port stays closed.
  int seenCode = 0;
  lpt.setOnFatalError([&](TLptChannel&, int code, int, const std::string&, bool& raise) {
    seenCode = code;
    raise = false;
  });
  EXPECT_EQ(failure([&] { lpt.setActive(true); }), "");
  EXPECT_EQ(seenCode, TLptChannel::kOpenErrorCode);
  EXPECT_FALSE(lpt.Active());
}

// Each failure the printer or the port can show fails the write with a text saying so, instead
// of being reported done.
TEST(LptChannelTest, FailedWritesFailWithAClearText) {
  struct Case {
    const char* name;
    void (*fault)(sim::LptPortDevice&);
    const char* message;
  };
  const Case cases[] = {
      {"write fault", [](sim::LptPortDevice& p) { p.setWriteFault(true); },
       "LPT1 write failed: Input/output error (printer ready)"},
      {"paper out", [](sim::LptPortDevice& p) { p.setPaperOut(true); },
       "LPT1 write failed: Input/output error (printer paper out, fault)"},
      {"offline", [](sim::LptPortDevice& p) { p.setOnline(false); },
       "LPT1 write failed: Input/output error (printer offline)"},
      {"port gone", [](sim::LptPortDevice& p) { p.vanish(); }, "LPT1 write failed: No such device"},
      {"busy too long", [](sim::LptPortDevice& p) { p.setBusy(true); },
       "LPT1 write failed: the printer took no byte for 200 ms (printer busy)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LptTestbed bed;
    TLptChannel lpt;
    lpt.setWriteTimeout(std::chrono::milliseconds(200));
    commonMode(lpt).setActive(true);
    lpt.WriteText("ok");
    c.fault(*bed.port);
    EXPECT_EQ(failure([&] { lpt.WriteText("lost"); }), c.message);
    EXPECT_EQ(bed.port->takeReceived(), bytes("ok"));
  }
}

TEST(LptChannelTest, ControlBusyWaitsForTheStatusInCommonMode) {
  LptTestbed bed;
  TLptChannel lpt;
  commonMode(lpt).setControlBusy(true);
  lpt.setActive(true);
  bed.port->setBusyForReads(3);  // busy for three status reads, then ready
  lpt.WriteText("AB");
  EXPECT_EQ(bed.port->takeReceived(), bytes("AB"));

  // A byte the printer never takes fails the command; nothing after it is sent.
  bed.port->setBusy(true);
  EXPECT_EQ(failure([&] { lpt.WriteText("CD"); }),
            "LPT1 busy: the printer did not take byte 1 of 2 within 100 ms");
  EXPECT_TRUE(bed.port->takeReceived().empty());
  EXPECT_FALSE(lpt.WaitStatus(0x80, 0x80, 0));
  bed.port->setBusy(false);
  EXPECT_TRUE(lpt.WaitStatus(0x80, 0x80, 0));
  lpt.setActive(false);
  EXPECT_FALSE(lpt.WaitStatus(0x80, 0x80, 100));  // closed: false at once
}

TEST(LptChannelTest, DirectModeStrobesEachByte) {
  LptTestbed bed;
  TLptChannel lpt;
  lpt.setLptIOBase(0x378);
  lpt.setActive(true);
  EXPECT_TRUE(bed.port->claimed());
  lpt.WriteText("AB");
  EXPECT_EQ(bed.port->takeReceived(), bytes("AB"));
  EXPECT_EQ(bed.port->registerWrites(),
            (std::vector<std::string>{"D=41", "C=01", "C=00", "D=42", "C=01", "C=00"}));
  EXPECT_EQ(lpt.ReadStatus(), sim::LptPortDevice::kStatusReady);
  lpt.setActive(false);
  EXPECT_FALSE(bed.port->claimed());
}

TEST(LptChannelTest, SetPinDrivesTheRegisterBitOfThePin) {
  struct Case {
    int pin;
    bool on;
    std::vector<std::string> writes;
  };
  const Case cases[] = {
      {2, true, {"D=01"}},  {9, true, {"D=80"}},  {1, true, {"C=01"}},
      {14, true, {"C=02"}}, {17, true, {"C=08"}}, {16, false, {"C=00"}},
      {11, true, {}},       {0, true, {}},        {18, true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pin);
    LptTestbed bed;
    TLptChannel lpt;
    lpt.setLptIOBase(0x378);
    lpt.setActive(true);
    lpt.SetPin(c.pin, c.on);
    EXPECT_EQ(bed.port->registerWrites(), c.writes);
  }
}

TEST(LptChannelTest, DirectModeOpenFailures) {
  struct Case {
    const char* name;
    sim::LptPortIdentity identity;
    bool refuseClaim;
    std::uint16_t ioBase;
    const char* message;
    bool openAfter;
    const char* reason;  // start of the reason line
  };
  const Case cases[] = {
      {"ppdev missing",
       {.ppdev = false},
       false,
       0x378,
       "Create service failed.",
       false,
       "/dev/parport0: No such file or directory."},
      {"claim refused",
       {},
       true,
       0x378,
       "Start service failed.",
       false,
       "/dev/parport0: Device or resource busy. Another program holds it"},
      {"no I/O base",
       {},
       false,
       0,
       "LPT1 open in Direct Mode is failed. Base I/O port is NULL",
       true,
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LptTestbed bed(c.identity);
    bed.port->setClaimRefused(c.refuseClaim);
    TLptChannel lpt;
    lpt.setLptIOBase(c.ioBase);
    EXPECT_EQ(failure([&] { lpt.setActive(true); }), c.message);
    EXPECT_EQ(lpt.Active(), c.openAfter);
    lpt.setActive(false);
    EXPECT_EQ(reasonOf([&] { lpt.setActive(true); }).rfind(c.reason, 0), 0u);
  }
}

TEST(LptDriverTest, OpensAndClaimsOnceAndCloseReleases) {
  LptTestbed bed;
  TLptDriver driver;
  const int fd = driver.OpenDriver();
  EXPECT_EQ(driver.OpenDriver(), fd);  // already open: the same handle, no second claim
  EXPECT_TRUE(bed.port->claimed());
  driver.writeRegister(LptRegister::Status, 0x00);  // input only: nothing reaches the port
  EXPECT_TRUE(bed.port->registerWrites().empty());
  driver.CloseDriver();
  driver.CloseDriver();  // closed: nothing to release
  EXPECT_FALSE(driver.isOpen());
  EXPECT_FALSE(bed.port->claimed());
}

TEST(LptChannelTest, PortNumbersTheWindowCanPass) {
  LptTestbed bed({}, /*withPort=*/false);
  TLptChannel lpt;
  lpt.setDirectMode(false);
  lpt.setPortNumber(0);  // an empty list leaves the window's number at 0
  EXPECT_EQ(failure([&] { lpt.open(); }), "LPT0 open is failed.\rNo such file or directory");
  EXPECT_EQ(failure([&] { lpt.setPortNumber(256); }),
            "LPT256 is not a parallel port number (1-255)");
}

TEST(LptChannelTest, ChangingModeOrPortReopens) {
  LptTestbed bed;
  TLptChannel lpt;
  commonMode(lpt).setActive(true);
  // Base 0: reopening in direct mode reports it, and the port is held.
  EXPECT_EQ(failure([&] { lpt.setDirectMode(true); }),
            "LPT1 open in Direct Mode is failed. Base I/O port is NULL");
  EXPECT_TRUE(lpt.Active());
  EXPECT_TRUE(bed.port->claimed());
  lpt.setLptIOBase(0x378);
  lpt.setDirectMode(false);
  EXPECT_FALSE(bed.port->claimed());
  EXPECT_EQ(bed.port->resets(), 2);
  EXPECT_EQ(failure([&] { lpt.setLptPortNo(2); }),
            "LPT2 open is failed.\rNo such file or directory");
  EXPECT_FALSE(lpt.Active());
}

}  // namespace
}  // namespace plenar
