// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DocumentOnce.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "cli/RunReport.h"
#include "platform/TerminationSignals.h"

namespace plenar::cli {
namespace {

enum Phase { kNone, kWriting, kWritten };
std::atomic<int> phase{kNone};

bool claim() {
  int expected = kNone;
  return phase.compare_exchange_strong(expected, kWriting);
}

void writeOut(const std::string& document) {
  std::fwrite(document.data(), 1, document.size(), stdout);
  std::fflush(stdout);
  phase.store(kWritten);
}

}  // namespace

void armInterruptedDocument(const std::string& command, bool pretty) {
  setLastWords([command, pretty](int signal) {
    if (!claim()) {
      // The main thread is writing its own: the process ends once that is out.
      for (int i = 0; i < 100 && phase.load() != kWritten; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      return;
    }
    RunReport report;
    report.setCommand(command);
    report.setError(FailureKind::Interrupted, "stopped by " + signalName(signal),
                    "the run did not end in time after the signal");
    writeOut(report.document(128 + signal, pretty));
  });
}

void writeDocumentOnce(const std::string& document) {
  if (claim()) writeOut(document);
}

}  // namespace plenar::cli
