// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

namespace plenar {

// One line typed at a terminal without echo, as getpass() and `read -s` read a password: the
// prompt goes to stderr, echo is turned off on `fd` for the read and set back as it was on every
// way out (the line read, an error, a signal to stop: the wait looks at terminationSignal() a
// few times a second, so the watcher's orderly close finds the terminal already restored), and
// the Enter the terminal no longer echoes is written to stderr as a new line.
// Threads: the thread that owns the terminal.
struct HiddenLine {
  enum class Status { Read, TooLong, Stopped, Failed };
  Status status = Status::Failed;
  std::string text;  // the line without its "\n" (Read); wiped otherwise
  int error = 0;     // errno (Failed)
};

// Whether `fd` is a terminal whose echo can be turned off.
bool isTerminal(int fd);

// Reads one line from `fd`, at most `maxBytes` bytes before its "\n" (TooLong beyond). End of
// input (Ctrl-D) ends the line as well.
HiddenLine readHiddenLine(int fd, const std::string& prompt, std::size_t maxBytes);

}  // namespace plenar
