// SPDX-License-Identifier: GPL-3.0-or-later
// TComm over pseudo-terminal pairs: the test holds the master end as the printer's side.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <memory>
#include <thread>

#include "EventLog.h"
#include "PtyPair.h"
#include "TempDir.h"
#include "channels/TComm.h"
#include "platform/HeadlessDispatcher.h"
#include "shared/Errors.h"

namespace plenar {
namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> bytesOf(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

// The message of the ECommsError that `open` throws, or "" when it throws none.
std::string openError(TComm& comm) {
  try {
    comm.OpenPort();
  } catch (const ECommsError& e) {
    return e.what();
  }
  return "";
}

std::size_t openFdCount() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++n;
  }
  return n;
}

// CPU time this process has used, user and system.
std::chrono::microseconds cpuTime() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto us = [](const timeval& t) { return t.tv_sec * 1000000LL + t.tv_usec; };
  return std::chrono::microseconds(us(usage.ru_utime) + us(usage.ru_stime));
}

class SerialChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatcher.start();
    // As the worker sets it up: binary data, no software flow control, short read interval.
    SerialSettings line;
    line.commName = pty.slavePath();
    line.xonXoffFlow = false;
    line.readIntervalTimeout = 1;
    comm.setSettings(line);
    events.bind(comm, dispatcher);
  }

  // Sends `text` both ways and checks it arrives.
  void expectRoundTrip(const std::string& text) {
    const auto bytes = bytesOf(text);
    ASSERT_TRUE(comm.SendBytes(bytes.data(), static_cast<std::uint16_t>(bytes.size())));
    EXPECT_EQ(pty.readExactly(bytes.size()), bytes);
    const std::size_t before = events.data().size();
    ASSERT_TRUE(pty.writeAll(bytes));
    ASSERT_TRUE(events.waitForData(before + bytes.size()));
    const auto got = events.data();
    EXPECT_EQ(
        std::vector<std::uint8_t>(got.begin() + static_cast<std::ptrdiff_t>(before), got.end()),
        bytes);
  }

  HeadlessDispatcher dispatcher;
  PtyPair pty;
  EventLog events;
  TComm comm{dispatcher};
};

TEST_F(SerialChannelTest, OpensClosesAndReopens) {
  EXPECT_FALSE(comm.isOpen());
  comm.ClosePort();  // closed: nothing happens
  comm.OpenPort();
  EXPECT_TRUE(comm.isOpen());
  expectRoundTrip("first open");
  comm.ClosePort();
  EXPECT_FALSE(comm.isOpen());
  comm.ClosePort();
  comm.OpenPort();
  expectRoundTrip("second open");
  EXPECT_EQ(events.offOwnerThread(), 0);
}

TEST_F(SerialChannelTest, SecondComponentCannotOpenAnOpenPort) {
  comm.OpenPort();
  TComm other(dispatcher);
  other.setPortName(pty.slavePath());
  EXPECT_EQ(openError(other), "Error opening serial port");
  EXPECT_FALSE(other.isOpen());
  expectRoundTrip("still ours");

  comm.ClosePort();
  EXPECT_EQ(openError(other), "");  // the lock went with the close
  EXPECT_TRUE(other.isOpen());
}

TEST_F(SerialChannelTest, OpenTwiceRaisesAndLeavesThePortWorking) {
  comm.OpenPort();
  EXPECT_EQ(openError(comm), "This serial port already opened");
  EXPECT_TRUE(comm.isOpen());
  expectRoundTrip("untouched");
}

TEST_F(SerialChannelTest, FailedOpensLeaveNothingBehind) {
  TempDir dir;
  dir.write("plain.txt", "not a port");
  const std::size_t fdsBefore = openFdCount();

  comm.setPortName(dir.file("plain.txt"));
  EXPECT_EQ(openError(comm), "File handle is not a comm handle ");
  EXPECT_FALSE(comm.isOpen());
  comm.setPortName(dir.file("missing"));
  EXPECT_EQ(openError(comm), "Error opening serial port");
  comm.setPortName(dir.path());  // a folder cannot be opened for writing
  EXPECT_EQ(openError(comm), "Error opening serial port");
  EXPECT_FALSE(comm.isOpen());
  EXPECT_FALSE(comm.SendBytes(reinterpret_cast<const std::uint8_t*>("x"), 1));
  EXPECT_EQ(openFdCount(), fdsBefore);

  comm.setPortName(pty.slavePath());  // and the component still opens a real port
  comm.OpenPort();
  expectRoundTrip("after failures");
}

TEST_F(SerialChannelTest, SendBytesRefusesEmptyRequestsAndClosedPorts) {
  const std::uint8_t byte = 0x55;
  EXPECT_FALSE(comm.SendBytes(&byte, 1));
  comm.OpenPort();
  EXPECT_FALSE(comm.SendBytes(&byte, 0));
  EXPECT_TRUE(comm.SendBytes(&byte, 1));
  EXPECT_EQ(pty.readExactly(1), std::vector<std::uint8_t>{0x55});
  comm.ClosePort();
  EXPECT_FALSE(comm.SendBytes(&byte, 1));
}

// The line is always raw 8N1 without hardware flow control; the rate and XON/XOFF follow the
// settings, at once while open, and a name or interval change leaves the line alone.
TEST_F(SerialChannelTest, LineSettingsFollowTheSettings) {
  comm.OpenPort();
  termios t = pty.slaveTermios();
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u) << "raw mode";
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INPCK | PARMRK), 0u);
  EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL | PARODD | CMSPAR | CSTOPB | CRTSCTS),
            static_cast<tcflag_t>(CREAD | CLOCAL));
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B9600));

  SerialSettings line = comm.settings();
  line.baudRate = 115200;
  line.xonXoffFlow = true;
  comm.setSettings(line);
  t = pty.slaveTermios();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
  EXPECT_EQ(t.c_cc[VSTART], 0x11);
  EXPECT_EQ(t.c_cc[VSTOP], 0x13);

  // The same line: nothing is written to the port (a change made behind its back stays).
  termios changed = t;
  cfsetospeed(&changed, B4800);
  ASSERT_EQ(::tcsetattr(pty.master(), TCSANOW, &changed), 0);
  line.readIntervalTimeout = 20;
  comm.setSettings(line);
  t = pty.slaveTermios();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B4800));

  // Modem lines do not exist on a pty: the ioctls fail quietly and the port keeps working.
  line.dtr = false;
  line.rts = false;
  line.xonXoffFlow = false;
  comm.setSettings(line);
  t = pty.slaveTermios();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
  expectRoundTrip("settings applied");
}

TEST_F(SerialChannelTest, ManySendRequestsArriveCompleteAndInOrder) {
  comm.OpenPort();
  const auto payload = testPattern(1 << 20);
  std::future<std::vector<std::uint8_t>> received =
      std::async(std::launch::async, [&] { return pty.readExactly(payload.size(), 60s); });
  std::size_t pos = 0;
  for (std::size_t i = 0; pos < payload.size(); ++i) {
    // Sizes from 1 byte to the 16-bit maximum, so that some requests take partial writes.
    const std::size_t size =
        std::min<std::size_t>(payload.size() - pos, i % 7 == 0 ? 65535 : 1 + (i * 97) % 3000);
    ASSERT_TRUE(comm.SendBytes(payload.data() + pos, static_cast<std::uint16_t>(size)));
    pos += size;
  }
  const auto got = received.get();
  ASSERT_EQ(got.size(), payload.size());
  EXPECT_TRUE(got == payload);
  EXPECT_TRUE(events.waitUntil([&](const EventLog&) { return comm.SendDataEmpty(); }));
}

TEST_F(SerialChannelTest, ReceivedDataArrivesInBoundedChunksOnTheOwnerThread) {
  comm.setReadIntervalTimeout(20);
  comm.OpenPort();
  const auto payload = testPattern(300 * 1024, 7);
  std::size_t pos = 0;
  for (std::size_t i = 0; pos < payload.size(); ++i) {
    const std::size_t size = std::min<std::size_t>(payload.size() - pos, 1 + (i * 331) % 9000);
    ASSERT_TRUE(pty.writeAll(
        std::vector<std::uint8_t>(payload.begin() + pos, payload.begin() + pos + size)));
    pos += size;
  }
  ASSERT_TRUE(events.waitForData(payload.size()));
  EXPECT_TRUE(events.data() == payload);
  const auto sizes = events.chunkSizes();
  for (std::size_t s : sizes) {
    EXPECT_GT(s, 0u);
    EXPECT_LE(s, 2048u);
  }
  EXPECT_GE(sizes.size(), payload.size() / 2048);
  EXPECT_EQ(events.offOwnerThread(), 0);
}

TEST_F(SerialChannelTest, SendDataEmptyFiresOnceAfterOpenAndOncePerDrainedQueue) {
  comm.OpenPort();
  ASSERT_TRUE(events.waitForSendDataEmpty(1));
  EXPECT_TRUE(comm.SendDataEmpty());
  for (int round = 1; round <= 5; ++round) {
    const auto bytes = testPattern(100 * round, round);
    ASSERT_TRUE(comm.SendBytes(bytes.data(), static_cast<std::uint16_t>(bytes.size())));
    ASSERT_EQ(pty.readExactly(bytes.size()), bytes);
    ASSERT_TRUE(events.waitForSendDataEmpty(round + 1));
    EXPECT_EQ(events.sendDataEmpty(), round + 1) << "round " << round;
    EXPECT_TRUE(comm.SendDataEmpty());
  }

  // More than the pty can hold while the far end does not read: the queue cannot drain.
  const auto big = testPattern(60000, 9);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(comm.SendBytes(big.data(), 60000));
  EXPECT_FALSE(comm.SendDataEmpty());
  const int before = events.sendDataEmpty();
  EXPECT_EQ(pty.readExactly(4 * 60000).size(), 4u * 60000);
  ASSERT_TRUE(events.waitForSendDataEmpty(before + 1));
  EXPECT_TRUE(events.waitUntil([&](const EventLog&) { return comm.SendDataEmpty(); }));
  EXPECT_EQ(events.offOwnerThread(), 0);
}

TEST_F(SerialChannelTest, FarEndClosingEndsTheReaderWithOneHangup) {
  comm.OpenPort();
  ASSERT_TRUE(pty.writeAll(bytesOf("last words")));
  // A hang-up discards what the kernel still holds, so the words are awaited first.
  ASSERT_TRUE(events.waitForData(10));
  const auto big = testPattern(60000, 3);
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(comm.SendBytes(big.data(), 60000));
  ASSERT_EQ(pty.readExactly(1000).size(), 1000u);  // mid-transfer
  pty.closeMaster();

  ASSERT_TRUE(events.waitForHangup());
  EXPECT_EQ(events.data(), bytesOf("last words"));

  // A reader that spun on POLLHUP would burn a whole core here.
  const auto cpuBefore = cpuTime();
  std::this_thread::sleep_for(300ms);
  EXPECT_LT(cpuTime() - cpuBefore, 150ms);
  EXPECT_EQ(events.hangups(), 1) << "reader and writer both saw it; the owner hears it once";

  auto closed = std::async(std::launch::async, [&] { comm.ClosePort(); });
  ASSERT_EQ(closed.wait_for(20s), std::future_status::ready);
  EXPECT_FALSE(comm.isOpen());
}

TEST_F(SerialChannelTest, ClosePortReturnsWhileDataFlowsBothWays) {
  comm.OpenPort();
  std::atomic<bool> stop{false};
  std::atomic<std::size_t> masterRead{0};
  std::thread farEnd([&] {
    const auto chunk = testPattern(4096, 5);
    std::vector<std::uint8_t> in(65536);
    while (!stop) {
      const ssize_t r = ::read(pty.master(), in.data(), in.size());
      if (r > 0) masterRead += static_cast<std::size_t>(r);
      (void)!::write(pty.master(), chunk.data(), chunk.size());
      pollfd p{pty.master(), POLLIN | POLLOUT, 0};
      ::poll(&p, 1, 10);
    }
  });
  const auto big = testPattern(60000, 4);
  for (int i = 0; i < 64; ++i) ASSERT_TRUE(comm.SendBytes(big.data(), 60000));
  EXPECT_TRUE(events.waitForData(100000));
  EXPECT_TRUE(events.waitUntil([&](const EventLog&) { return masterRead > 100000; }));

  auto closed = std::async(std::launch::async, [&] { comm.ClosePort(); });
  EXPECT_EQ(closed.wait_for(20s), std::future_status::ready);
  closed.wait();
  stop = true;
  farEnd.join();
  EXPECT_EQ(events.hangups(), 0);
  EXPECT_TRUE(comm.SendDataEmpty());

  // Drop what was still in flight, then the same component opens and works again.
  tcflush(pty.master(), TCIOFLUSH);
  std::vector<std::uint8_t> sink(65536);
  while (::read(pty.master(), sink.data(), sink.size()) > 0) {
  }
  comm.OpenPort();
  const auto before = events.data().size();
  expectRoundTrip("again");
  EXPECT_EQ(events.data().size(), before + 5);
}

TEST_F(SerialChannelTest, ReadTimeoutsDecideWhenAChunkIsHandedOn) {
  comm.OpenPort();
  // MAXDWORD interval: what has arrived goes at once.
  comm.setReadIntervalTimeout(0xFFFFFFFF);
  ASSERT_TRUE(pty.writeAll(bytesOf("a")));
  ASSERT_TRUE(events.waitForData(1));

  // No interval: only a full chunk is handed on.
  comm.setReadIntervalTimeout(0);
  ASSERT_TRUE(pty.writeAll(bytesOf("bc")));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(events.data().size(), 1u);
  ASSERT_TRUE(pty.writeAll(testPattern(2046)));
  ASSERT_TRUE(events.waitForData(1 + 2048));
  EXPECT_EQ(events.chunkSizes().back(), 2048u);

  // A long interval: bytes with a short gap between them travel as one chunk.
  comm.setReadIntervalTimeout(1000);
  ASSERT_TRUE(pty.writeAll(bytesOf("de")));
  std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(pty.writeAll(bytesOf("fg")));
  ASSERT_TRUE(events.waitForData(7));
  ASSERT_TRUE(events.waitForData(1 + 2048 + 4));
  EXPECT_EQ(events.chunkSizes().back(), 4u);
}

// Events still queued when the port closes (or the component goes) are never delivered.
TEST(SerialChannelEventsTest, QueuedEventsOfAClosedOpenAreDropped) {
  QueuedDispatcher owner;
  PtyPair pty;
  EventLog events;
  TComm comm(owner);
  comm.setPortName(pty.slavePath());
  comm.setReadIntervalTimeout(1);
  events.bind(comm, owner);

  comm.OpenPort();
  ASSERT_TRUE(pty.writeAll(bytesOf("stale")));
  ASSERT_TRUE(owner.waitForQueued(2));  // "send queue empty" and the data
  comm.ClosePort();
  comm.OpenPort();
  owner.runAll();
  EXPECT_TRUE(events.data().empty());

  ASSERT_TRUE(pty.writeAll(bytesOf("fresh")));
  ASSERT_TRUE(owner.runUntil([&] { return events.data().size() >= 5; }));
  EXPECT_EQ(events.data(), bytesOf("fresh"));
  EXPECT_TRUE(owner.runUntil([&] { return events.sendDataEmpty() == 1; }));  // the new open's
  owner.runAll();
  EXPECT_EQ(events.sendDataEmpty(), 1);
}

TEST(SerialChannelEventsTest, DestroyedComponentIsNeverCalledBack) {
  QueuedDispatcher owner;
  PtyPair pty;
  int calls = 0;
  {
    auto comm = std::make_unique<TComm>(owner);
    comm->setPortName(pty.slavePath());
    comm->setReadIntervalTimeout(1);
    comm->OnReceiveData = [&](TComm&, const std::uint8_t*, std::uint16_t) { ++calls; };
    comm->OnSendDataEmpty = [&](TComm&) { ++calls; };
    comm->OpenPort();
    ASSERT_TRUE(pty.writeAll(bytesOf("late")));
    ASSERT_TRUE(owner.waitForQueued(2));
  }  // the destructor closes the open port
  owner.runAll();
  EXPECT_EQ(calls, 0);
}

// An event handler may close the port (the owner's usual answer to a hang-up).
TEST(SerialChannelEventsTest, HangupHandlerMayCloseThePort) {
  HeadlessDispatcher owner;
  owner.start();
  auto pty = std::make_unique<PtyPair>();
  TComm comm(owner);
  comm.setPortName(pty->slavePath());
  std::promise<void> closedInHandler;
  comm.OnRequestHangup = [&](TComm& sender) {
    sender.ClosePort();
    closedInHandler.set_value();
  };
  comm.OpenPort();
  // The handler calls ClosePort on the owner thread: hand the component over to it first (the
  // calls must not overlap, and the kernel's hang-up is no ordering the race checker sees).
  std::promise<void> handedOver;
  owner.post([&] { handedOver.set_value(); });
  handedOver.get_future().wait();
  pty.reset();
  ASSERT_EQ(closedInHandler.get_future().wait_for(20s), std::future_status::ready);
  owner.stop();
  EXPECT_FALSE(comm.isOpen());
}

}  // namespace
}  // namespace plenar
