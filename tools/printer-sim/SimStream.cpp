// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimStream.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>

#include <cstdio>
#include <stdexcept>

#include "SimOptions.h"
#include "Simulator.h"

namespace plenar::sim {

namespace {

constexpr int kPulledGapMs = 4000;

// Waits out the gap between two printers; false when a stop signal came.
bool emptyBench(int signalFd, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (auto now = std::chrono::steady_clock::now(); now < end;
       now = std::chrono::steady_clock::now()) {
    pollfd fd{signalFd, POLLIN, 0};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - now).count();
    if (::poll(&fd, 1, static_cast<int>(left)) <= 0) continue;
    signalfd_siginfo info{};
    if (::read(signalFd, &info, sizeof info) == sizeof info &&
        (info.ssi_signo == SIGTERM || info.ssi_signo == SIGINT)) {
      return false;
    }
  }
  return true;
}

}  // namespace

int runStream(const SimOptions& options, int signalFd) {
  // The bench starts empty: the first printer arrives after a gap as well.
  bool pulled = false;
  for (int n = 1; n <= options.stream.count; ++n) {
    // After a printer pulled out part-way the tool is still trying to reach it: the next one
    // comes once it has given up, as it would on a bench.
    const int gap = pulled ? std::max(options.stream.gapMs, kPulledGapMs) : options.stream.gapMs;
    if (!emptyBench(signalFd, gap)) return 0;
    SimOptions one = options;
    one.stateFile = streamPath(options.stateFile, n);
    one.recordFile = streamPath(options.recordFile, n);
    one.leaveIdleMs = options.stream.idleMs;
    one.leaveAfterFrames = n == options.stream.pullPrinter ? options.stream.pullFrames : 0;
    bool left = false;
    int status = 0;
    {
      Simulator sim(std::move(one));
      std::printf("printer %d\n", n);
      sim.announce(stdout);
      status = sim.run(signalFd);
      left = sim.left();
    }
    // Gone: its links are closed and the serial link's path removed.
    std::printf("left %d\n", n);
    std::fflush(stdout);
    if (!left) return status;  // a stop signal
    pulled = n == options.stream.pullPrinter;
  }
  std::printf("stream done\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace plenar::sim
