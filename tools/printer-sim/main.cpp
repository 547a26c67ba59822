// SPDX-License-Identifier: GPL-3.0-or-later
// plenar-printer-sim: a thermal printer on a serial link (pseudo-terminal), on UDP and as a
// virtual USB device, for tests, benchmarks and demonstrations without hardware. See simUsage()
// for the options.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "SimOptions.h"
#include "SimStream.h"
#include "Simulator.h"
#include "devices/Preload.h"

int main(int argc, char** argv) {
  using namespace plenar::sim;
  std::vector<std::string> args(argv + 1, argv + argc);
  bool help = false;
  SimOptions options;
  try {
    options = parseSimOptions(args, help);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plenar-printer-sim: %s\n%s", e.what(), simUsage());
    return 2;
  }
  if (help) {
    std::fputs(simUsage(), stdout);
    return 0;
  }

  // The virtual USB printer's plug and unplug (and a parallel port that vanishes) reach a
  // watching tool only when this process runs under the umockdev preload too.
  if (options.usb || options.lpt > 0) {
    std::string failed = restartWithPreload(argv);
    if (!failed.empty()) {
      std::fprintf(stderr, "plenar-printer-sim: %s\n", failed.c_str());
      return 1;
    }
  }

  // SIGTERM and SIGINT end the run through the event loop, so the state is saved and the link
  // removed. SIGUSR1 and SIGUSR2 plug the USB device in and out. SIGPIPE would only come from a
  // closed stdout.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGUSR1);
  sigaddset(&stopSignals, SIGUSR2);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (signalFd < 0) {
    std::perror("plenar-printer-sim: signalfd");
    return 1;
  }

  // The line pacing sleeps to the microsecond; the kernel's default 50 us of timer slack would
  // make every paced answer that much later than the printer's.
  (void)prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

  try {
    if (options.stream.count > 0) return runStream(options, signalFd);
    Simulator sim(std::move(options));
    sim.announce(stdout);
    return sim.run(signalFd);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plenar-printer-sim: %s\n", e.what());
    return 1;
  }
}
