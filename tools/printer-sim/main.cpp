// plenar-printer-sim: a thermal printer on a serial link (pseudo-terminal) and on UDP, for tests,
// benchmarks and demonstrations without hardware. See simUsage() for the options.
#include <signal.h>
#include <sys/signalfd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "SimOptions.h"
#include "Simulator.h"

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

  // SIGTERM and SIGINT end the run through the event loop, so the state is saved and the link
  // removed. SIGPIPE would only come from a closed stdout.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (signalFd < 0) {
    std::perror("plenar-printer-sim: signalfd");
    return 1;
  }

  try {
    Simulator sim(std::move(options));
    sim.announce(stdout);
    return sim.run(signalFd);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plenar-printer-sim: %s\n", e.what());
    return 1;
  }
}
