// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "engine/CommandRequest.h"
#include "platform/HeadlessDispatcher.h"
#include "platform/HeadlessReportWindow.h"

namespace plenar {
class Engine;
}

namespace plenar::test {

// The whole engine on a program folder of its own, with a headless thread playing the window's
// owner thread: for benchmarks and soak runs that time one command after another. The folder is
// removed at the end.
// Threads: one thread at a time.
class EngineRunner {
 public:
  struct Outcome {
    bool ok = false;
    double seconds = 0;  // from the post to the report
    std::string error;   // the failure text when not ok
  };

  EngineRunner();
  ~EngineRunner();
  EngineRunner(const EngineRunner&) = delete;
  EngineRunner& operator=(const EngineRunner&) = delete;

  const std::string& dir() const { return dir_; }
  Engine& engine() { return *engine_; }
  // Posts `request` over `link` and waits for its report (at most `limit`).
  Outcome run(CommandRequest request, const LinkSnapshot& link,
              std::chrono::milliseconds limit = std::chrono::minutes(5));

 private:
  HeadlessDispatcher dispatcher_;
  std::unique_ptr<HeadlessReportWindow> window_;
  std::unique_ptr<Engine> engine_;
  std::string dir_;
  std::atomic<bool> failed_{false};
};

}  // namespace plenar::test
