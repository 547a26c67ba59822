#include "app/Engine.h"

#include "commands/Routines.h"

namespace plenar {

Engine::Engine(std::string programDir, ReportWindow& reportWindow, OwnerDispatcher& owner)
    : programDir_(std::move(programDir)),
      worker_(std::make_unique<TCommThread>(programDir_, reportWindow, owner)) {
  registerRoutines(*worker_);
}

Engine::~Engine() = default;

}  // namespace plenar
