// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

namespace plenar {

// A note for the user from below the front ends (debug.log cannot be written, a settings file
// that is no file): it goes to the sink the front end set (plenar writes it as its other lines,
// a JSON event under --events), else to stderr as a line of its own.
// Threads: any; notes are handed to the sink one at a time.
void setNoteSink(std::function<void(const std::string& text)> sink);
void note(const std::string& text);

}  // namespace plenar
