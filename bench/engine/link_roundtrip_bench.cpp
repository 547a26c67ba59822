// SPDX-License-Identifier: GPL-3.0-or-later
// Per-frame round trip of a 256-byte framed request and its acknowledgement, through the whole
// engine (worker, link layer, serial channel or UDP socket, reply assembler on the owner thread)
// and through a minimal direct exchange of the same bytes on the same kind of link, in one run.
// Prints the medians and their ratio. The peer is a small responder thread, so both sides of
// the comparison see the same printer.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/Engine.h"
#include "engine/LinkLayer.h"
#include "platform/HeadlessDispatcher.h"
#include "platform/HeadlessReportWindow.h"
#include "shared/Frame.h"

using namespace plenar;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr int kRounds = 300;

double medianMs(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

bool readExact(int fd, std::uint8_t* p, std::size_t n, int timeoutMs = 2000) {
  std::size_t got = 0;
  while (got < n) {
    pollfd pf{fd, POLLIN, 0};
    if (::poll(&pf, 1, timeoutMs) <= 0) return false;
    ssize_t r = ::read(fd, p + got, n - got);
    if (r <= 0) return false;
    got += static_cast<std::size_t>(r);
  }
  return true;
}

// Answers every frame read from a pseudo-terminal master with an empty frame of its command.
void serialResponder(int master, std::atomic<bool>& stop) {
  std::uint8_t header[16];
  while (!stop) {
    pollfd pf{master, POLLIN, 0};
    if (::poll(&pf, 1, 50) <= 0) continue;
    if (!readExact(master, header, 1) || header[0] != 0x02) continue;
    if (!readExact(master, header + 1, 15)) continue;
    std::uint16_t len = getLe16(header + 12);
    Bytes rest(len ? len + 1 : 0);
    if (len && !readExact(master, rest.data(), rest.size())) continue;
    Bytes ack = buildFrame(getLe16(header + 2), 0, 0, {});
    if (::write(master, ack.data(), ack.size()) < 0) return;
  }
}

void udpResponder(int fd, std::atomic<bool>& stop) {
  std::uint8_t buf[4096];
  while (!stop) {
    pollfd pf{fd, POLLIN, 0};
    if (::poll(&pf, 1, 50) <= 0) continue;
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 16) continue;
    Bytes ack = buildFrame(getLe16(buf + 2), 0, 0, {});
    ::sendto(fd, ack.data(), ack.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
  }
}

std::vector<double> engineRounds(const LinkSnapshot& link) {
  HeadlessDispatcher dispatcher;
  dispatcher.start();
  HeadlessReportWindow window(dispatcher, [](int, std::intptr_t) {});
  char dir[] = "/tmp/plenar-bench.XXXXXX";
  ::mkdtemp(dir);
  std::vector<double> times;
  {
    Engine engine(dir, window, dispatcher);
    Bytes data(256, 0x5A);
    engine.worker().setRoutine(25, [&](TCommThread& w) {
      w.runGuarded([&] {
        engine.link().openLink();
        for (int i = 0; i < kRounds; ++i) {
          auto t0 = Clock::now();
          engine.link().framedRequest(0x35, 0x100000 + 256 * i, 0, data, 1);
          times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
      });
      engine.link().closeLink();
    });
    CommandRequest r;
    r.code = 25;
    r.link = link;
    engine.worker().postCommand(r);
    engine.worker().waitIdle(std::chrono::minutes(5));
  }
  dispatcher.stop();
  std::string cleanup = std::string("rm -rf ") + dir;
  if (std::system(cleanup.c_str()) != 0) std::perror("rm");
  return times;
}

std::vector<double> directRounds(int fd) {
  Bytes data(256, 0x5A);
  std::vector<double> times;
  std::uint8_t ack[16];
  for (int i = 0; i < kRounds; ++i) {
    Bytes frame = buildFrame(0x35, 0x100000 + 256 * i, 0, data);
    auto t0 = Clock::now();
    if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) break;
    if (!readExact(fd, ack, sizeof ack)) break;
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  return times;
}

void report(const char* link, const std::vector<double>& engine,
            const std::vector<double>& direct) {
  if (engine.empty() || direct.empty()) {
    std::printf("%-7s no result (engine %zu, direct %zu rounds)\n", link, engine.size(),
                direct.size());
    return;
  }
  double e = medianMs(engine), d = medianMs(direct);
  std::printf("%-7s engine median %7.3f ms   direct median %7.3f ms   ratio %6.2f  (%d rounds)\n",
              link, e, d, e / d, kRounds);
}

}  // namespace

int main() {
  std::printf("256-byte framed request + acknowledgement, per frame\n");
  // Serial over a pseudo-terminal pair.
  {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ::grantpt(master);
    ::unlockpt(master);
    std::string slave = ::ptsname(master);
    std::atomic<bool> stop{false};
    std::thread responder(serialResponder, master, std::ref(stop));
    LinkSnapshot link;
    link.kind = LinkKind::Serial;
    link.serialPort = slave;
    link.deviceBaudText = "115200";
    link.transferBaudText = "115200";
    auto engine = engineRounds(link);
    int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    auto direct = directRounds(fd);
    ::close(fd);
    stop = true;
    responder.join();
    ::close(master);
    report("serial", engine, direct);
  }
  // UDP over the loopback interface.
  {
    int peer = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(peer, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(peer, reinterpret_cast<sockaddr*>(&addr), &len);
    std::atomic<bool> stop{false};
    std::thread responder(udpResponder, peer, std::ref(stop));
    LinkSnapshot link;
    link.kind = LinkKind::Network;
    link.ipAddress = "127.0.0.1";
    link.udpPort = ntohs(addr.sin_port);
    auto engine = engineRounds(link);
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    auto direct = directRounds(fd);
    ::close(fd);
    stop = true;
    responder.join();
    ::close(peer);
    report("udp", engine, direct);
  }
  return 0;
}
