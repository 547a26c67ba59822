// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimStream.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include <cstdio>
#include <stdexcept>

#include "SimOptions.h"
#include "Simulator.h"

namespace plenar::sim {
namespace {

int boundedNumber(const std::string& option, const std::string& text, int min, int max) {
  std::size_t used = 0;
  long long n = 0;
  try {
    n = std::stoll(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || text.empty() || n < min || n > max) {
    throw std::invalid_argument(option + " takes " + std::to_string(min) + ".." +
                                std::to_string(max) + ", not '" + text + "'");
  }
  return static_cast<int>(n);
}

}  // namespace

bool parseStreamOption(const std::string& arg, const std::function<const std::string&()>& value,
                       StreamOptions& stream) {
  if (arg == "--stream") {
    stream.count = boundedNumber(arg, value(), 1, 100000);
  } else if (arg == "--stream-idle-ms") {
    stream.idleMs = boundedNumber(arg, value(), 1, 600000);
  } else if (arg == "--stream-gap-ms") {
    stream.gapMs = boundedNumber(arg, value(), 0, 600000);
  } else if (arg == "--stream-pull") {
    const std::string& v = value();
    const auto colon = v.find(':');
    if (colon == std::string::npos) throw std::invalid_argument("--stream-pull takes K:F");
    stream.pullPrinter = boundedNumber(arg, v.substr(0, colon), 1, 100000);
    stream.pullFrames = boundedNumber(arg, v.substr(colon + 1), 1, 1000000);
  } else {
    return false;
  }
  return true;
}

std::string streamPath(const std::string& pattern, int n) {
  std::string out = pattern;
  for (auto at = out.find("{n}"); at != std::string::npos; at = out.find("{n}", at)) {
    out.replace(at, 3, std::to_string(n));
  }
  return out;
}

namespace {

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
  for (int n = 1; n <= options.stream.count; ++n) {
    if (!emptyBench(signalFd, options.stream.gapMs)) return 0;
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
  }
  std::printf("stream done\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace plenar::sim
