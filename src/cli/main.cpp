// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "engine/TCommThread.h"
#include "platform/TerminationSignals.h"

int main(int argc, char** argv) {
  // Before any thread exists: SIGTERM and Ctrl-C end the running command at its next wait (the
  // link is closed as after a failure) and the program exits with 128 + the signal.
  plenar::installTerminationHandler([](int) { plenar::TCommThread::requestStopAll(); });
  // runCli turns a signal into that status itself, before the --json document is written, so
  // that the document and the status agree; a signal after the document changes neither.
  std::vector<std::string> args(argv + 1, argv + argc);
  return plenar::cli::runCli(args);
}
