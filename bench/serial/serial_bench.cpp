// SPDX-License-Identifier: GPL-3.0-or-later
// TComm against plain blocking read/write on the same kind of line (a pseudo-terminal pair):
// round trip of a 16-byte frame and its 16-byte answer, and 4 MiB one way in each direction.
// Prints medians and the ratio TComm / plain; the two are measured in turn so that both see the
// same machine load. Usage: bench_serial [round trips] [bulk runs]
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "channels/TComm.h"
#include "platform/HeadlessDispatcher.h"

namespace {

using Clock = std::chrono::steady_clock;
using Micros = std::chrono::duration<double, std::micro>;

constexpr std::size_t kFrame = 16;
constexpr std::size_t kBulk = 4u << 20;
constexpr std::size_t kRequest = 4096;

struct Pty {
  Pty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
      throw std::runtime_error("no pseudo-terminal");
    }
    slavePath = name;
  }
  ~Pty() { ::close(master); }
  int master;
  std::string slavePath;
};

bool readFull(int fd, std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    const ssize_t r = ::read(fd, p, n);
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

bool writeFull(int fd, const std::uint8_t* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

// The printer's side: answers each 16-byte frame with the same 16 bytes.
std::thread echo(int master, int frames) {
  return std::thread([master, frames] {
    std::uint8_t frame[kFrame];
    for (int i = 0; i < frames && readFull(master, frame, kFrame); ++i) {
      if (!writeFull(master, frame, kFrame)) return;
    }
  });
}

std::thread sink(int master, std::size_t bytes) {
  return std::thread([master, bytes] {
    std::vector<std::uint8_t> buffer(65536);
    for (std::size_t got = 0; got < bytes;) {
      const ssize_t r = ::read(master, buffer.data(), std::min(buffer.size(), bytes - got));
      if (r <= 0) return;
      got += static_cast<std::size_t>(r);
    }
  });
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// TComm with a HeadlessDispatcher thread as the owner; received bytes are counted there.
class CommUnderTest {
 public:
  CommUnderTest(const std::string& path, std::uint32_t interval) : comm_(owner_) {
    owner_.start();
    plenar::SerialSettings line;
    line.commName = path;
    line.xonXoffFlow = false;
    line.baudRate = 115200;
    line.readIntervalTimeout = interval;
    comm_.setSettings(line);
    comm_.OnReceiveData = [this](plenar::TComm&, const std::uint8_t*, std::uint16_t n) {
      std::lock_guard lock(mutex_);
      received_ += n;
      changed_.notify_all();
    };
    comm_.OpenPort();
  }
  ~CommUnderTest() {
    comm_.ClosePort();
    owner_.stop();
  }
  plenar::TComm& comm() { return comm_; }
  void waitReceived(std::size_t total) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return received_ >= total; });
  }
  std::size_t received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  plenar::HeadlessDispatcher owner_;
  plenar::TComm comm_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t received_ = 0;
};

int openRawSlave(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios t{};
  ::tcgetattr(fd, &t);
  cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  return fd;
}

// One round trip at a time on each line in turn, so that both see the same machine load.
struct Pair {
  double comm;
  double plain;
};

Pair roundTrips(int frames, std::uint32_t interval) {
  Pty commPty;
  Pty plainPty;
  CommUnderTest c(commPty.slavePath, interval);
  const int fd = openRawSlave(plainPty.slavePath);
  std::thread commPeer = echo(commPty.master, frames);
  std::thread plainPeer = echo(plainPty.master, frames);
  std::vector<double> commTimes;
  std::vector<double> plainTimes;
  std::uint8_t frame[kFrame] = {0x02, 0x00, 0x30};
  std::uint8_t answer[kFrame];
  for (int i = 0; i < frames; ++i) {
    const std::size_t before = c.received();
    auto t0 = Clock::now();
    c.comm().SendBytes(frame, kFrame);
    c.waitReceived(before + kFrame);
    commTimes.push_back(Micros(Clock::now() - t0).count());

    t0 = Clock::now();
    writeFull(fd, frame, kFrame);
    readFull(fd, answer, kFrame);
    plainTimes.push_back(Micros(Clock::now() - t0).count());
  }
  commPeer.join();
  plainPeer.join();
  ::close(fd);
  return {median(commTimes), median(plainTimes)};
}

double commSend() {
  const std::vector<std::uint8_t> block(kRequest, 0x5A);
  Pty pty;
  CommUnderTest c(pty.slavePath, 1);
  const auto t0 = Clock::now();
  std::thread peer = sink(pty.master, kBulk);
  for (std::size_t sent = 0; sent < kBulk; sent += kRequest) {
    c.comm().SendBytes(block.data(), kRequest);
  }
  peer.join();
  return Micros(Clock::now() - t0).count();
}

double plainSend() {
  const std::vector<std::uint8_t> block(kRequest, 0x5A);
  Pty pty;
  const int fd = openRawSlave(pty.slavePath);
  const auto t0 = Clock::now();
  std::thread peer = sink(pty.master, kBulk);
  for (std::size_t sent = 0; sent < kBulk; sent += kRequest) writeFull(fd, block.data(), kRequest);
  peer.join();
  const double us = Micros(Clock::now() - t0).count();
  ::close(fd);
  return us;
}

std::thread source(int master) {
  return std::thread([master] {
    const std::vector<std::uint8_t> block(kRequest, 0x5A);
    for (std::size_t sent = 0; sent < kBulk; sent += kRequest) {
      writeFull(master, block.data(), kRequest);
    }
  });
}

double commReceive() {
  Pty pty;
  CommUnderTest c(pty.slavePath, 1);
  const auto t0 = Clock::now();
  std::thread peer = source(pty.master);
  c.waitReceived(kBulk);
  const double us = Micros(Clock::now() - t0).count();
  peer.join();
  return us;
}

double plainReceive() {
  Pty pty;
  const int fd = openRawSlave(pty.slavePath);
  const auto t0 = Clock::now();
  std::thread peer = source(pty.master);
  std::vector<std::uint8_t> in(65536);
  for (std::size_t got = 0; got < kBulk;) {
    const ssize_t n = ::read(fd, in.data(), in.size());
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  const double us = Micros(Clock::now() - t0).count();
  peer.join();
  ::close(fd);
  return us;
}

// Runs the two in turn, `runs` times each, and returns their medians.
Pair alternate(int runs, double (*comm)(), double (*plain)()) {
  std::vector<double> c;
  std::vector<double> p;
  for (int r = 0; r < runs; ++r) {
    c.push_back(comm());
    p.push_back(plain());
  }
  return {median(c), median(p)};
}

void row(const char* what, double comm, double plain, const char* unit, double scale) {
  std::printf("%-44s %12.1f %12.1f %9.2fx  (%s)\n", what, comm / scale, plain / scale, comm / plain,
              unit);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 9;
  std::printf("pseudo-terminal pairs, medians of %d round trips and %d bulk runs of 4 MiB\n",
              frames, runs);
  std::printf("%-44s %12s %12s %10s\n", "", "TComm", "plain", "ratio");
  Pair p = roundTrips(frames, 1);
  row("16-byte round trip, read interval 1 ms", p.comm, p.plain, "us", 1);
  p = roundTrips(frames, 0xFFFFFFFF);
  row("16-byte round trip, interval MAXDWORD", p.comm, p.plain, "us", 1);
  const Pair send = alternate(runs, commSend, plainSend);
  row("4 MiB sent, 4096-byte requests", send.comm, send.plain, "ms", 1000);
  const Pair receive = alternate(runs, commReceive, plainReceive);
  row("4 MiB received", receive.comm, receive.plain, "ms", 1000);
  auto mibPerS = [](double us) { return 4.0 / (us / 1e6); };
  std::printf("throughput MiB/s: send %.0f vs %.0f, receive %.0f vs %.0f\n", mibPerS(send.comm),
              mibPerS(send.plain), mibPerS(receive.comm), mibPerS(receive.plain));
  return 0;
}
