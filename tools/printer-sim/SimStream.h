// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace plenar::sim {

struct SimOptions;

// Runs the printers of `options.stream` in turn until the last has left or a stop signal came
// on `signalFd`; returns the exit status. Prints "printer N" before each printer's links and
// "left N" once it is gone.
int runStream(const SimOptions& options, int signalFd);

}  // namespace plenar::sim
