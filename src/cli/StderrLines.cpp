// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StderrLines.h"

#include <cstdio>

namespace plenar::cli {
namespace {

struct Mode {
  bool events = false;
  std::string command;
};

Mode& mode() {
  static Mode m;
  return m;
}

const char* levelName(LineLevel level) {
  switch (level) {
    case LineLevel::Status:
      return "status";
    case LineLevel::Note:
      return "note";
    case LineLevel::Error:
      return "error";
  }
  return "status";
}

}  // namespace

void setStderrEvents(bool events, const std::string& command) {
  mode() = {events, command};
}

bool stderrEvents() {
  return mode().events;
}

void printEventLine(const nlohmann::ordered_json& event) {
  std::fprintf(
      stderr, "%s\n",
      event.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
  std::fflush(stderr);
}

void printLine(LineLevel level, const std::string& text) {
  if (!mode().events) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    return;
  }
  // A text of several lines stays one event.
  std::string one = text;
  while (!one.empty() && one.back() == '\n') one.pop_back();
  printEventLine(
      {{"event", "text"}, {"command", mode().command}, {"level", levelName(level)}, {"text", one}});
}

}  // namespace plenar::cli
