// SPDX-License-Identifier: GPL-3.0-or-later
// `plenar batch` against a stream of simulated printers, per link (UDP loopback, a pseudo-terminal
// that comes and goes), timed from outside as a bench is used:
//
//   arrival      the simulator prints "ready" for a printer (its link is up) -> the bench prints
//                that printer's link test on stderr: the arrival detection (the factory address
//                is asked every 500 ms, the serial glob looked at every 250 ms)
//   per printer  "ready" -> the bench's --events line for that printer (its report line is
//                written and synced just before)
//   lone apply   the same profile and a device name and serial number, `plenar apply --force`
//                as a whole process against one simulated printer on the same link
//
// Printed per link: the means, the ratio of the per-printer time to (lone apply + arrival), and
// what the bench adds over a lone apply beyond its arrival detection, against the 300 ms target.
//
// usage: bench_batch [--printers N] [--repeat R]
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "SimProcess.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kTargetMs = 300;
constexpr const char* kProfile = "[ParaDefault]\nCodePage=CP437\nRptTime=20\nsleepTime=300\npoweroffTime=7200\n";

double msSince(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// A child whose stdout (`out`) or stderr (`err`) comes through a pipe; the other goes to null.
struct Child {
  pid_t pid = -1;
  int fd = -1;
  std::string pending;
};

Child spawnPiped(std::vector<std::string> args, bool pipeStderr) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], pipeStderr ? 2 : 1);
  posix_spawn_file_actions_addopen(&actions, pipeStderr ? 1 : 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Child c;
  if (posix_spawn(&c.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
    throw std::runtime_error("cannot start " + args[0]);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  c.fd = fds[0];
  return c;
}

// Complete lines that have arrived on the child's pipe; false once it is closed.
bool readLines(Child& c, std::vector<std::string>& lines) {
  char buf[4096];
  const ssize_t n = ::read(c.fd, buf, sizeof buf);
  if (n <= 0) return false;
  c.pending.append(buf, static_cast<std::size_t>(n));
  for (std::size_t nl; (nl = c.pending.find('\n')) != std::string::npos;) {
    lines.push_back(c.pending.substr(0, nl));
    c.pending.erase(0, nl + 1);
  }
  return true;
}

void stop(Child& c) {
  if (c.pid > 0) {
    ::kill(c.pid, SIGTERM);
    int status = 0;
    ::waitpid(c.pid, &status, 0);
  }
  if (c.fd >= 0) ::close(c.fd);
  c = {};
}

struct Figures {
  double arrival = 0, perPrinter = 0, lone = 0;
  int printers = 0;
};

std::vector<std::string> linkArgs(bool serial, const std::string& dir, int port) {
  if (serial) return {"--serial-link", dir + "/ttyBENCH"};
  return {"--udp", "127.0.0.1:" + std::to_string(port)};
}

double loneApply(bool serial, const std::string& dir, int port, int repeat) {
  const std::string plenar = plenar::test::binaryPath("plenar");
  std::vector<std::string> sim = {plenar::test::binaryPath("plenar-printer-sim"), "--state",
                                  dir + "/lone.json"};
  for (const auto& a : linkArgs(serial, dir, port)) sim.push_back(a);
  Child printer = spawnPiped(sim, false);
  std::vector<std::string> lines;
  while (lines.empty() || lines.back() != "ready") readLines(printer, lines);
  double total = 0;
  for (int i = 0; i < repeat; ++i) {
    std::vector<std::string> args = {plenar, "--dir", dir + "/lone-state"};
    if (serial) {
      args.insert(args.end(), {"--serial", dir + "/ttyBENCH"});
    } else {
      args.insert(args.end(), {"--net", "127.0.0.1:" + std::to_string(port)});
    }
    args.insert(args.end(), {"apply", dir + "/shop.ini", "--force", "--device", "Till 0001",
                             std::to_string(1000 + i)});
    const auto start = Clock::now();
    Child c = spawnPiped(args, true);
    while (readLines(c, lines)) {
    }
    int status = 0;
    ::waitpid(c.pid, &status, 0);
    ::close(c.fd);
    total += msSince(start, Clock::now());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::string why;
      for (const auto& l : lines) why += l + "\n";
      throw std::runtime_error("apply failed:\n" + why);
    }
  }
  stop(printer);
  return total / repeat;
}

Figures measure(bool serial, int printers, int repeat) {
  const std::string dir =
      std::filesystem::temp_directory_path() / ("plenar-bench-batch-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/shop.ini") << kProfile;
  const int port = 47000 + (::getpid() % 1000);
  Figures f;
  f.lone = loneApply(serial, dir, port, repeat);

  std::vector<std::string> bench = {plenar::test::binaryPath("plenar"),
                                    "--dir",
                                    dir + "/state",
                                    "--events",
                                    "batch",
                                    dir + "/shop.ini",
                                    "--name",
                                    "Till {n}",
                                    "--serial-from",
                                    "1",
                                    "--count",
                                    std::to_string(printers),
                                    "--state",
                                    dir + "/batch.json"};
  if (serial) {
    bench.insert(bench.end(), {"--serial-glob", dir + "/tty*"});
  } else {
    bench.insert(bench.end(), {"--net", "127.0.0.1:" + std::to_string(port)});
  }
  Child b = spawnPiped(bench, true);
  // The bench is up (and has looked at the empty link) before the first printer comes.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::vector<std::string> sim = {plenar::test::binaryPath("plenar-printer-sim"),
                                  "--state",
                                  dir + "/p{n}.json",
                                  "--stream",
                                  std::to_string(printers),
                                  "--stream-idle-ms",
                                  serial ? "600" : "300",
                                  "--stream-gap-ms",
                                  serial ? "500" : "800"};
  for (const auto& a : linkArgs(serial, dir, port)) sim.push_back(a);
  Child s = spawnPiped(sim, false);

  std::vector<Clock::time_point> ready, started, done;
  bool benchOpen = true, simOpen = true;
  while (benchOpen && static_cast<int>(done.size()) < printers) {
    pollfd fds[2] = {{b.fd, POLLIN, 0}, {s.fd, POLLIN, 0}};
    if (::poll(fds, simOpen ? 2 : 1, 60000) <= 0) break;
    const auto now = Clock::now();
    std::vector<std::string> lines;
    if (fds[0].revents) {
      benchOpen = readLines(b, lines);
      for (const auto& l : lines) {
        if (l.find(": link test on") != std::string::npos && started.size() < ready.size())
          started.push_back(now);
        if (l.rfind("{\"event\":\"printer\"", 0) == 0) done.push_back(now);
      }
    }
    lines.clear();
    if (simOpen && fds[1].revents) {
      simOpen = readLines(s, lines);
      for (const auto& l : lines) {
        if (l == "ready") ready.push_back(now);
      }
    }
  }
  stop(b);
  stop(s);
  std::filesystem::remove_all(dir);
  f.printers = static_cast<int>(std::min({ready.size(), started.size(), done.size()}));
  for (int i = 0; i < f.printers; ++i) {
    f.arrival += msSince(ready[i], started[i]) / f.printers;
    f.perPrinter += msSince(ready[i], done[i]) / f.printers;
  }
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  int printers = 10, repeat = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--printers") == 0) printers = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--repeat") == 0) repeat = std::atoi(argv[i + 1]);
  }
  std::printf("%-8s %8s %10s %12s %12s %8s %14s\n", "link", "printers", "lone apply", "arrival",
              "per printer", "ratio", "added (target)");
  for (bool serial : {false, true}) {
    const Figures f = measure(serial, printers, repeat);
    const double added = f.perPrinter - f.arrival - f.lone;
    std::printf("%-8s %8d %8.0f ms %9.0f ms %9.0f ms %8.2f %6.0f ms (%s %.0f ms)\n",
                serial ? "serial" : "udp", f.printers, f.lone, f.arrival, f.perPrinter,
                f.perPrinter / (f.lone + f.arrival), added, added <= kTargetMs ? "<=" : ">",
                kTargetMs);
  }
  return 0;
}
