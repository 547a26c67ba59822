// SPDX-License-Identifier: GPL-3.0-or-later
// Soak: one engine runs many settings commands and font downloads against plenar-printer-sim,
// alternating between a pseudo-terminal and UDP, the way a technician's session at the bench
// goes on for hours. Reports resident memory, open file descriptors and threads of this process
// at the start (after a short warm-up that fills one-time caches) and at the end, and counts
// failed commands. Memory should stay flat within 1 MiB; descriptors and threads exactly flat.
//
// usage: bench_soak [--settings N] [--fonts N] [--font-size BYTES]
//        defaults 10000 settings commands, 200 font downloads of 4096 bytes
#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <variant>
#include <vector>

#include "EngineRunner.h"
#include "SimProcess.h"
#include "app/Engine.h"
#include "engine/TCommThread.h"
#include "platform/HeadlessDispatcher.h"
#include "platform/HeadlessReportWindow.h"
#include "requests/BasicRequests.h"
#include "requests/FileActions.h"

using namespace plenar;
using plenar::test::SimProcess;
using Clock = std::chrono::steady_clock;

namespace {

struct Usage {
  long rssKiB = 0;
  int fds = 0;
  int threads = 0;
};

Usage usageNow() {
  Usage u;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) u.rssKiB = std::atol(line.c_str() + 6);
    if (line.rfind("Threads:", 0) == 0) u.threads = std::atoi(line.c_str() + 8);
  }
  if (DIR* d = ::opendir("/proc/self/fd")) {
    while (const dirent* e = ::readdir(d)) u.fds += e->d_name[0] != '.';
    ::closedir(d);
    --u.fds;  // the listing's own descriptor
  }
  return u;
}

void printUsage(const char* when, const Usage& u) {
  std::printf("%-10s rss %7.2f MiB  fds %3d  threads %3d\n", when, u.rssKiB / 1024.0, u.fds,
              u.threads);
}

LinkSnapshot serialLink(const SimProcess& sim) {
  LinkSnapshot serial;
  serial.kind = LinkKind::Serial;
  serial.serialPort = sim.serialPath();
  serial.deviceBaudText = "115200";
  serial.transferBaudText = "115200";
  return serial;
}

LinkSnapshot udpLink(const SimProcess& sim) {
  LinkSnapshot udp;
  udp.kind = LinkKind::Network;
  udp.ipAddress = sim.udpHost();
  udp.udpPort = sim.udpPort();
  return udp;
}

// A font file of `size` bytes of a fixed pattern.
std::string writeFont(const std::string& path, std::size_t size) {
  std::vector<char> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 13 + 1);
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
  return path;
}

// Prints the growth from `start` to `end`; true when it is flat.
bool reportGrowth(const Usage& start, const Usage& end, long failures) {
  std::printf("rss growth %+.3f MiB (target within 1 MiB), fds %+d, threads %+d, failures %ld\n",
              (end.rssKiB - start.rssKiB) / 1024.0, end.fds - start.fds,
              end.threads - start.threads, failures);
  const bool flat = end.rssKiB - start.rssKiB <= 1024 && end.fds == start.fds &&
                    end.threads == start.threads && failures == 0;
  std::printf("%s\n", flat ? "FLAT" : "NOT FLAT");
  return flat;
}

}  // namespace

int main(int argc, char** argv) {
  long settings = 10000, fonts = 200;
  std::size_t fontSize = 4096;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--settings") && i + 1 < argc) {
      settings = std::atol(argv[++i]);
    } else if (!std::strcmp(argv[i], "--fonts") && i + 1 < argc) {
      fonts = std::atol(argv[++i]);
    } else if (!std::strcmp(argv[i], "--font-size") && i + 1 < argc) {
      fontSize = std::strtoul(argv[++i], nullptr, 10);
    } else {
      std::fprintf(stderr, "usage: bench_soak [--settings N] [--fonts N] [--font-size BYTES]\n");
      return 64;
    }
  }
  try {
    SimProcess::Options serialOptions;
    serialOptions.baud = 115200;
    SimProcess serialSim(serialOptions);
    SimProcess::Options udpOptions;
    udpOptions.serial = false;
    udpOptions.udp = true;
    SimProcess udpSim(udpOptions);

    const Usage atLaunch = usageNow();
    test::EngineRunner soak;
    const LinkSnapshot serial = serialLink(serialSim);
    const LinkSnapshot udp = udpLink(udpSim);
    const std::string font = writeFont(soak.dir() + "/font.bin", fontSize);

    long failures = 0, done = 0;
    auto one = [&](long i) {
      const LinkSnapshot& link = i % 2 ? udp : serial;
      test::EngineRunner::Outcome outcome;
      if (fonts > 0 && i % std::max(1L, (settings + fonts) / fonts) == 0 &&
          done < settings + fonts) {
        outcome = soak.run(*fontDownloadRequest(font, "200000"), link);
      } else {
        outcome =
            soak.run(std::get<CommandRequest>(buildSetCodePage(static_cast<int>(i % 50))), link);
      }
      if (!outcome.ok) {
        if (++failures <= 5)
          std::fprintf(stderr, "command %ld failed: %s\n", i, outcome.error.c_str());
      }
      ++done;
    };

    // Warm-up: the first commands of each kind on each link fill caches that stay.
    const long total = settings + fonts;
    const long warmUp = std::min(total, 40L);
    for (long i = 0; i < warmUp; ++i) one(i);
    const Usage start = usageNow();
    const auto t0 = Clock::now();
    for (long i = warmUp; i < total; ++i) {
      one(i);
      if ((i + 1) % 1000 == 0) {
        Usage u = usageNow();
        std::printf("%6ld commands  rss %7.2f MiB  fds %3d  threads %3d  failures %ld\n", i + 1,
                    u.rssKiB / 1024.0, u.fds, u.threads, failures);
        std::fflush(stdout);
      }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
    const Usage end = usageNow();

    std::printf(
        "soak: %ld commands (%ld settings, %ld font downloads of %zu bytes), serial and UDP "
        "alternating, %.1f s\n",
        total, settings, fonts, fontSize, seconds);
    printUsage("launch", atLaunch);
    printUsage("start", start);
    printUsage("end", end);
    return reportGrowth(start, end, failures) ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_soak: %s\n", e.what());
    return 1;
  }
}
