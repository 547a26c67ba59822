// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

namespace plenar {

// SIGTERM, SIGINT and SIGHUP as an orderly close instead of an abrupt end: the printer link is
// closed, the serial port left at the device rate where the command got that far, debug.log
// written. A watcher thread takes the signal and runs `onSignal` (on that thread, so it may only
// do thread-safe things: stop the worker, queue a quit to the UI loop). Should the process still
// run `graceMs` later, or a second signal come, it ends at once with 128 + the signal's number.
//
// Call first in main(), before any other thread exists: the signals are blocked in the calling
// thread and every thread created later inherits that mask, so only the watcher receives them.
// Threads: install once per process.
void installTerminationHandler(std::function<void(int signal)> onSignal, int graceMs = 1000);

// Runs on the watcher thread, with the first signal, just before the process ends at once (the
// grace ran out, or a second signal came): the last chance to say why. It must be quick and
// thread-safe. Replaces the one set before.
void setLastWords(std::function<void(int signal)> lastWords);

// The signal that started the close, or 0.
int terminationSignal();
// "SIGTERM", "SIGINT", "SIGHUP"; "signal N" for another.
std::string signalName(int signal);

}  // namespace plenar
