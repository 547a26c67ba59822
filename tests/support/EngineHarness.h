// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TempDir.h"
#include "app/Engine.h"
#include "engine/LinkLayer.h"
#include "engine/TCommThread.h"
#include "platform/HeadlessDispatcher.h"
#include "platform/HeadlessReportWindow.h"

// The whole engine with a dispatcher thread playing the UI thread, for tests that drive real
// links. Records every message the worker sends together with the texts at that moment.
class EngineHarness {
 public:
  struct Message {
    int msg;
    std::intptr_t wParam;
    std::string status;
    std::string error;
  };

  EngineHarness();
  ~EngineHarness();

  plenar::Engine& engine() { return *engine_; }
  plenar::TCommThread& worker() { return engine_->worker(); }
  plenar::LinkLayer& link() { return engine_->link(); }
  const TempDir& dir() const { return dir_; }

  // Posts `request` with `link` and waits (bounded) until it has been reported.
  void run(plenar::CommandRequest request, const plenar::LinkSnapshot& link);
  // Runs `body` as the routine of a spare command code.
  void runRoutine(const plenar::LinkSnapshot& link, std::function<void(plenar::TCommThread&)> body);
  std::vector<Message> messages();
  std::vector<std::string> progressTexts();
  std::vector<std::string> traceHeads();  // debug.log lines that are not hex dumps

 private:
  TempDir dir_;
  plenar::HeadlessDispatcher dispatcher_;
  std::mutex mutex_;
  std::vector<Message> messages_;
  std::unique_ptr<plenar::HeadlessReportWindow> window_;
  std::unique_ptr<plenar::Engine> engine_;
};

plenar::LinkSnapshot serialLink(const std::string& port, const std::string& device = "9600",
                                const std::string& transfer = "115200");
plenar::LinkSnapshot networkLink(int port, const std::string& host = "127.0.0.1");
