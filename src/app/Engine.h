#pragma once

#include <memory>
#include <string>

#include "engine/TCommThread.h"

namespace plenar {

class ReportWindow;
class OwnerDispatcher;

// The engine as the windows and the CLI use it: the worker with every printer routine
// registered. Created on the owner (UI) thread, which must keep running its dispatcher while
// commands run.
class Engine {
 public:
  Engine(std::string programDir, ReportWindow& reportWindow, OwnerDispatcher& owner);
  ~Engine();

  TCommThread& worker() { return *worker_; }
  const std::string& programDir() const { return programDir_; }

 private:
  std::string programDir_;
  std::unique_ptr<TCommThread> worker_;
};

}  // namespace plenar
