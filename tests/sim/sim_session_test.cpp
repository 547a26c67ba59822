// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator as a process, driven over its serial link and its UDP port by raw clients.
#include <gtest/gtest.h>

#include <QJsonArray>

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "SimProcess.h"
#include "SimTestUtil.h"
#include "StateJson.h"

namespace plenar::sim::test {
namespace {

using plenar::test::SimProcess;
using Clock = std::chrono::steady_clock;
constexpr auto kAnswerTimeout = std::chrono::seconds(5);

speed_t speedOf(int rate) {
  switch (rate) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 115200:
      return B115200;
    default:
      throw std::invalid_argument("rate");
  }
}

// The tool's end of the serial line, reduced to what a test needs: raw 8N1 at a chosen rate.
class SerialClient {
 public:
  SerialClient(const std::string& path, int sendRate, int receiveRate = 0) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("cannot open " + path);
    ioctl(fd_, TIOCEXCL);
    setRate(sendRate, receiveRate ? receiveRate : sendRate);
  }
  ~SerialClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  void setRate(int sendRate, int receiveRate) {
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetospeed(&t, speedOf(sendRate));
    cfsetispeed(&t, speedOf(receiveRate));
    tcsetattr(fd_, TCSANOW, &t);
  }
  void send(const std::vector<std::uint8_t>& bytes) {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads until `enough` says so or `timeout` passes; returns what came.
  std::vector<std::uint8_t> read(
      const std::function<bool(const std::vector<std::uint8_t>&)>& enough,
      Clock::duration timeout = kAnswerTimeout) {
    std::vector<std::uint8_t> got;
    const auto until = Clock::now() + timeout;
    while (!enough(got) && Clock::now() < until) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      std::uint8_t buf[512];
      ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) break;
      got.insert(got.end(), buf, buf + n);
    }
    return got;
  }
  // One complete frame (the tool's rule: from the first 0x02 on).
  std::vector<std::uint8_t> readFrame() {
    auto got = read([](const std::vector<std::uint8_t>& g) { return frameEnd(g) > 0; });
    std::size_t end = frameEnd(got);
    if (end == 0) return {};
    auto start = std::find(got.begin(), got.end(), 0x02);
    return std::vector<std::uint8_t>(start, got.begin() + static_cast<std::ptrdiff_t>(end));
  }
  static std::size_t frameEnd(const std::vector<std::uint8_t>& g) {
    auto start = std::find(g.begin(), g.end(), 0x02);
    std::size_t s = static_cast<std::size_t>(start - g.begin());
    if (g.size() < s + 16) return 0;
    std::size_t total = frameSize(getLe16(&g[s + 12]));
    return g.size() >= s + total ? s + total : 0;
  }

 private:
  int fd_ = -1;
};

class UdpClient {
 public:
  UdpClient(const std::string& host, int port) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, host.c_str(), &a.sin_addr);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
      throw std::runtime_error("connect");
    }
  }
  ~UdpClient() { ::close(fd_); }
  // Sends one datagram and waits (bounded) for the answer; empty when none came.
  std::vector<std::uint8_t> exchange(const std::vector<std::uint8_t>& bytes, int timeoutMs = 5000) {
    ::send(fd_, bytes.data(), bytes.size(), 0);
    return receive(timeoutMs);
  }
  std::vector<std::uint8_t> receive(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return {};
    std::vector<std::uint8_t> buf(4096);
    ssize_t n = recv(fd_, buf.data(), buf.size(), 0);
    buf.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return buf;
  }

 private:
  int fd_ = -1;
};

SimProcess::Options options(std::vector<std::string> extraArgs, bool serial = true,
                            bool udp = false, int baud = 9600, std::string model = {}) {
  SimProcess::Options o;
  o.serial = serial;
  o.udp = udp;
  o.baud = baud;
  o.model = std::move(model);
  o.extraArgs = std::move(extraArgs);
  return o;
}

const std::vector<std::uint8_t> kIdentifyReply =
    hexBytes("02 00 30 00 00 00 00 00 00 00 00 00 08 00 3A 00 50 4C 45 4E 41 52 38 30 0C");

TEST(SerialSession, IdentifyRateSwitchAndIdentifyAtTheNewRate) {
  SimProcess sim;
  ASSERT_FALSE(sim.serialPath().empty());
  SerialClient tool(sim.serialPath(), 9600);
  tool.send(kIdentify);
  EXPECT_EQ(tool.readFrame(), kIdentifyReply);

  tool.send(frame(0x31, 4));
  EXPECT_EQ(tool.readFrame(), hexBytes("02 00 31 00 04 00 00 00 00 00 00 00 00 00 37 00"));
  tool.setRate(115200, 115200);
  tool.send(kIdentify);
  EXPECT_EQ(tool.readFrame(), kIdentifyReply);

  auto records = sim.records();
  ASSERT_GE(records.size(), 3u);
  EXPECT_EQ(records[0]["link"].toString(), "serial");
  EXPECT_EQ(records[0]["rate"].toInt(), 9600);
  EXPECT_EQ(records[0]["command"].toInt(), 0x30);
  EXPECT_EQ(records[2]["rate"].toInt(), 115200);
}

TEST(SerialSession, PacedLineCarriesFramesBothWays) {
  SimProcess sim(options({"--pace"}, true, false, 115200));
  SerialClient tool(sim.serialPath(), 115200);
  std::vector<std::uint8_t> block(1016, 0x3C);
  tool.send(frame(0x35, 0x2000, 0, block));
  EXPECT_EQ(tool.readFrame().size(), 16u);
  tool.send(kIdentify);
  EXPECT_EQ(tool.readFrame(), kIdentifyReply);
}

// The answer's line time starts when the request has arrived, but a delay the fault asks for
// still comes on top of it in full.
TEST(SerialSession, PacedAnswerKeepsTheWholeFaultDelay) {
  SimProcess sim(options({"--pace", "--fault", "delay:150"}, true, false, 9600));
  SerialClient tool(sim.serialPath(), 9600);
  const auto start = std::chrono::steady_clock::now();
  tool.send(kIdentify);  // 25 bytes: 26 ms on the line at 9600
  EXPECT_EQ(tool.readFrame(), kIdentifyReply);
  // Request 26 ms, delay 150 ms, answer 26 ms: never sooner.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
}

TEST(SerialSession, WrongRateClientGetsNoiseAndIsNotUnderstood) {
  // The answer waits long enough for the client to change its rate after the request (a
  // pseudo-terminal has one rate for both directions).
  SimProcess sim(options({"--fault", "delay:3000"}));
  {
    SerialClient tool(sim.serialPath(), 9600);
    tool.send(kIdentify);
    sim.waitForRecords([](const std::vector<QJsonObject>& r) { return !r.empty(); });
    tool.setRate(19200, 19200);
    auto got = tool.read([](const std::vector<std::uint8_t>& g) { return g.size() >= 25; });
    ASSERT_EQ(got.size(), 25u);
    EXPECT_EQ(std::find(got.begin(), got.end(), 0x02), got.end()) << "no frame start in noise";
  }
  {
    // Sends at the wrong rate: the printer hears noise and says nothing. The next request at
    // the right rate is answered, so the first one was not.
    SerialClient tool(sim.serialPath(), 115200);
    tool.send(kIdentify);
    sim.waitForRecords([](const std::vector<QJsonObject>& r) {
      return std::any_of(r.begin(), r.end(),
                         [](const QJsonObject& o) { return o["kind"] == "noise"; });
    });
    tool.setRate(9600, 9600);
    tool.send(frame(0x80, 0, 0, {0x11}));
    auto reply = tool.readFrame();
    ASSERT_EQ(reply.size(), 16u);
    EXPECT_EQ(reply[2], 0x80);
  }
  auto records = sim.records();
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records[records.size() - 2]["kind"].toString(), "noise");
  auto state = sim.waitForState(
      [](const QJsonObject& s) { return s["settings"].toObject()["codePage"].toInt() == 0x11; });
  EXPECT_EQ(state["settings"].toObject()["codePage"].toInt(), 0x11);
}

TEST(SerialSession, PortClosedAndReopenedAnswersAgainAndDropsNothingStale) {
  SimProcess sim(options({"--fault", "delay:300"}));
  {
    SerialClient tool(sim.serialPath(), 9600);
    tool.send(kIdentify);
  }  // closed before the delayed answer is due
  sim.waitForRecords([](const std::vector<QJsonObject>& r) {
    return std::any_of(r.begin(), r.end(), [](const QJsonObject& o) {
      return o["meaning"].toString().startsWith("answer lost");
    });
  });
  SerialClient tool(sim.serialPath(), 9600);
  tool.send(frame(0x31, 0));
  auto reply = tool.readFrame();
  ASSERT_EQ(reply.size(), 16u);
  EXPECT_EQ(reply[2], 0x31) << "the first bytes after reopening belong to the new request";
}

// Times the simulator's main thread went to sleep and was woken so far.
long mainThreadWakeups(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
  }
  return -1;
}

TEST(SerialSession, ClosedPortIsWaitedOnNotPolled) {
  // The master hangs up for as long as the tool has its port closed; a fleet holds hundreds of
  // such simulators between runs, and each must sleep until the tool is back.
  SimProcess sim(options({}));
  {
    SerialClient tool(sim.serialPath(), 9600);
    tool.send(kIdentify);
    ASSERT_FALSE(tool.readFrame().empty());
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the close is taken in
  const long before = mainThreadWakeups(sim.pid());
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const long woken = mainThreadWakeups(sim.pid()) - before;
  ASSERT_GE(before, 0);
  EXPECT_LT(woken, 20) << "a poll every 10 ms wakes it about 100 times a second";

  SerialClient tool(sim.serialPath(), 9600);
  tool.send(kIdentify);
  EXPECT_FALSE(tool.readFrame().empty()) << "the first request after reopening is answered";
}

TEST(SerialSession, BootHandshakeAndProgramUpdate) {
  SimProcess sim;
  SerialClient tool(sim.serialPath(), 9600);
  tool.send({0x61});
  auto got = tool.read([](const std::vector<std::uint8_t>& g) { return !g.empty(); });
  ASSERT_EQ(got, bytesOf({0x61}));
  tool.send(frame(0x32));
  ASSERT_EQ(tool.readFrame().size(), 16u);
  std::vector<std::uint8_t> img(0x3100, 0x5A);
  std::copy_n("pt58a", 6, img.begin() + 0x3000);
  for (std::size_t p = 0; p < img.size(); p += 256) {
    tool.send(frame(0x33, static_cast<std::uint32_t>(p), 0,
                    std::vector<std::uint8_t>(img.begin() + p, img.begin() + p + 256)));
    ASSERT_EQ(tool.readFrame().size(), 16u) << p;
  }
  tool.send(frame(0x2E));
  ASSERT_EQ(tool.readFrame().size(), 16u);
  tool.send(kIdentify);
  auto reply = tool.readFrame();
  ASSERT_EQ(reply.size(), 25u);
  EXPECT_EQ(std::string(reply.begin() + 16, reply.begin() + 21), "PT58A");
  auto fw = sim.waitForState([](const QJsonObject& s) {
                 return s["firmware"].toObject()["size"].toInt() == 0x3100;
               })["firmware"]
                .toObject();
  EXPECT_EQ(fw["size"].toInt(), 0x3100);
  EXPECT_EQ(fw["tag"].toString(), "PT58A");
}

TEST(SerialSession, SplitAndNoisyAnswersStillCarryTheFrame) {
  SimProcess sim(options({"--fault", "split:10", "--fault", "noise:3"}));
  SerialClient tool(sim.serialPath(), 9600);
  tool.send(kIdentify);
  auto got = tool.read([](const std::vector<std::uint8_t>& g) { return g.size() >= 28; });
  ASSERT_EQ(got.size(), 28u);
  EXPECT_EQ(std::vector<std::uint8_t>(got.begin() + 3, got.end()), kIdentifyReply);
}

TEST(SerialSession, CloseAfterFaultTakesTheLinkAway) {
  SimProcess sim(options({"--fault", "close-after:1"}));
  const std::string path = sim.serialPath();
  SerialClient tool(path, 9600);
  tool.send(kIdentify);
  sim.waitForRecords([](const std::vector<QJsonObject>& r) {
    return !r.empty() && r.back()["meaning"].toString().startsWith("fault: link closed");
  });
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(path)));
}

TEST(UdpSession, FramesMemoryAndUserDataOverDatagrams) {
  SimProcess sim(options({}, false, true, 9600, "NET58"));
  ASSERT_GT(sim.udpPort(), 0);
  UdpClient tool(sim.udpHost(), sim.udpPort());
  auto id = tool.exchange(kIdentify);
  ASSERT_EQ(id.size(), 25u);
  EXPECT_EQ(std::string(id.begin() + 16, id.begin() + 21), "NET58");

  std::vector<std::uint8_t> block(200);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(255 - i);
  ASSERT_EQ(tool.exchange(frame(0x35, 0x10000, 0, block)).size(), 16u);
  auto read = tool.exchange(frame(0x34, 0x10000));
  ASSERT_EQ(read.size(), 16u + 256 + 1);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), read.begin() + 16));
  EXPECT_EQ(read[16 + 200], 0xFF);

  auto ack = tool.exchange(frame(0x92, 0, 0, hexBytes("1F 50 23 8D")));
  ASSERT_EQ(ack.size(), 16u);
  EXPECT_EQ(ack[2], 0x92);
  // A raw sequence datagram gets no answer; the state shows it.
  tool.exchange(hexBytes("1F 4E 0A 01 02 03"), 0);
  auto state = sim.waitForState([](const QJsonObject& s) {
    return s["settings"].toObject()["ethernet"].toObject()["gateway"] == "10.1.2.3";
  });
  auto eth = state["settings"].toObject()["ethernet"].toObject();
  EXPECT_EQ(eth["port"].toInt(), 9101);
  EXPECT_EQ(eth["gateway"].toString(), "10.1.2.3");
  auto mem = state["memory"].toArray();
  ASSERT_EQ(mem.size(), 1);
  EXPECT_EQ(mem[0].toObject()["address"].toInt(), 0x10000);
  EXPECT_EQ(mem[0].toObject()["length"].toInt(), 200);
}

TEST(UdpSession, DroppedAndCorruptedAnswers) {
  SimProcess sim(
      options({"--fault", "drop-every:2", "--fault", "corrupt-data-every:1"}, false, true));
  UdpClient tool(sim.udpHost(), sim.udpPort());
  auto first = tool.exchange(kIdentify);
  ASSERT_EQ(first.size(), 25u);
  EXPECT_FALSE(dataValid(std::span(first).subspan(16)));
  EXPECT_TRUE(tool.exchange(frame(0x80, 0, 0, {1}), 500).empty()) << "second reply dropped";
  EXPECT_EQ(tool.exchange(frame(0x80, 0, 0, {1})).size(), 16u);
}

TEST(SimLifecycle, StopSavesTheStateRemovesTheLinkAndTheStateIsReloaded) {
  auto dir = std::filesystem::temp_directory_path() / ("sim-life-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string statePath = (dir / "kept.json").string();
  {
    SimProcess sim(options({"--state", statePath}, true, false, 19200));
    SerialClient tool(sim.serialPath(), 19200);
    tool.send(frame(0x90, 0, 0, {2}));
    ASSERT_EQ(tool.readFrame().size(), 16u);
    const std::string link = sim.serialPath();
    EXPECT_TRUE(sim.stop());
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  }
  {
    // Without --baud the printer powers up at its stored rate, with its stored settings.
    SimProcess sim(options({"--state", statePath}, true, false, 0));
    SerialClient tool(sim.serialPath(), 19200);
    tool.send(kIdentify);
    EXPECT_EQ(tool.readFrame(), kIdentifyReply);
  }
  PrinterState kept;
  EXPECT_TRUE(loadStateFile(statePath, kept));
  EXPECT_EQ(kept.settings.printSize, 2);
  EXPECT_EQ(kept.settings.baudCode, 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace plenar::sim::test
