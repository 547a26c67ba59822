// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Notes.h"

#include <cstdio>
#include <mutex>

namespace plenar {
namespace {

std::mutex& notesMutex() {
  static std::mutex m;
  return m;
}

std::function<void(const std::string&)>& noteSink() {
  static std::function<void(const std::string&)> sink;
  return sink;
}

}  // namespace

void setNoteSink(std::function<void(const std::string& text)> sink) {
  std::lock_guard lock(notesMutex());
  noteSink() = std::move(sink);
}

void note(const std::string& text) {
  std::lock_guard lock(notesMutex());
  if (noteSink()) {
    noteSink()(text);
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

}  // namespace plenar
