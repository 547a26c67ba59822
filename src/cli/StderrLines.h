// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace plenar::cli {

// What a line for the user on stderr is: a progress or status text, a note beside the result,
// or the reason a run failed.
enum class LineLevel { Status, Note, Error };

// Every line plenar writes on stderr goes through here. Without --events a line is written as
// it is; with --events stderr carries JSON lines only, and a text becomes
// {"event":"text","command":...,"level":"status"|"note"|"error","text":...}.
// Threads: the main thread (the CLI's owner thread).
void setStderrEvents(bool events, const std::string& command);
bool stderrEvents();
void printLine(LineLevel level, const std::string& text);
// One event object as one line (always JSON, whatever the mode).
void printEventLine(const nlohmann::ordered_json& event);

}  // namespace plenar::cli
