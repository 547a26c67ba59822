// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "cli/CliArgs.h"

namespace plenar::cli {

// A password for the printer, kept off the argument list (which every local user can read in
// /proc/PID/cmdline while the command runs): `--password-file FILE` reads it from a file (0600
// expected: a warning when others may read it), `--password -` (or `-` for a positional
// PASSWORD) from standard input. At a terminal that asks on stderr and reads one line with echo
// off (the terminal is set back on every way out, a signal included); from a pipe or a file it
// reads silently to the end. One line ending ("\n" or "\r\n") is taken off the end, once.
// `--password P` still works.
//
// Refused (InputRefused, naming the option, never the password): a file that is missing,
// unreadable, a FIFO, a folder, or longer than a password can be (kind file); a password that is
// empty once its line ending is off (it would leave the printer open; an empty argument,
// `--password ''` or `wifi-ap NAME ''`, still sets none on purpose), that holds a NUL byte, or a
// line break past its first line (kind refused, exit 65).
//
// From the first password read (any of these ways) the process keeps out of core files
// (keepOutOfCoreDumps), and the buffers it was read through are wiped.

// Takes `--password` / `--password-file` out of `args`; nullopt when neither is given.
std::optional<std::string> takePassword(ArgList& args);

// Reads a password from `path` ("-": standard input).
std::string readPassword(const std::string& path, const std::string& option);

// A positional PASSWORD: "-" reads standard input, anything else is the password itself.
std::string passwordArgument(const std::string& value, const std::string& name);

}  // namespace plenar::cli
