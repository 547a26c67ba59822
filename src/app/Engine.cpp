#include "app/Engine.h"

#include "commands/Routines.h"
#include "engine/LinkLayer.h"

namespace plenar {

Engine::Engine(std::string programDir, ReportWindow& reportWindow, OwnerDispatcher& owner)
    : programDir_(std::move(programDir)),
      worker_(std::make_unique<TCommThread>(programDir_, reportWindow, owner)) {
  // Routines are registered once the link layer is assembled here.
}

Engine::~Engine() = default;

}  // namespace plenar
