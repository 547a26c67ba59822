// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "cli/CliArgs.h"

namespace plenar::cli {

// A password for the printer, kept off the argument list (which every local user can read in
// /proc/PID/cmdline while the command runs): `--password-file FILE` reads it from a file (0600
// expected: a warning when others may read it), `--password -` (or `-` for a positional
// PASSWORD) from standard input. One trailing newline is dropped. `--password P` still works.
// A file that is missing, unreadable, a FIFO, a folder, or longer than a password can be is
// refused (InputRefused, kind file), naming the option, never the password.

// Takes `--password` / `--password-file` out of `args`; nullopt when neither is given.
std::optional<std::string> takePassword(ArgList& args);

// Reads a password from `path` ("-": standard input).
std::string readPassword(const std::string& path, const std::string& option);

}  // namespace plenar::cli
